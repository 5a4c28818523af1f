#pragma once

#include <string>

#include <mpv/client.h>

// The libmpv entry points the media device calls, resolved from the shared
// library the first time a device starts. The program thus starts without
// loading libmpv and the ffmpeg and audio libraries it links, and a missing or
// broken libmpv becomes the device's error instead of a failure to start.
// mpv/client.h is included for its types only; nothing links against libmpv.
struct MpvLibrary {
    decltype(&mpv_create) create = nullptr;
    decltype(&mpv_initialize) initialize = nullptr;
    decltype(&mpv_terminate_destroy) terminate_destroy = nullptr;
    decltype(&mpv_set_option_string) set_option_string = nullptr;
    decltype(&mpv_error_string) error_string = nullptr;
    decltype(&mpv_observe_property) observe_property = nullptr;
    decltype(&mpv_set_wakeup_callback) set_wakeup_callback = nullptr;
    decltype(&mpv_wait_event) wait_event = nullptr;
    decltype(&mpv_command) command = nullptr;
    decltype(&mpv_command_ret) command_ret = nullptr;
    decltype(&mpv_free_node_contents) free_node_contents = nullptr;
    decltype(&mpv_get_property) get_property = nullptr;
    decltype(&mpv_get_property_string) get_property_string = nullptr;
    decltype(&mpv_set_property) set_property = nullptr;
    decltype(&mpv_free) free = nullptr;
};

// Loads `file` (a library name the dynamic linker looks up, or a path) and
// resolves every entry point; the result stays loaded for the life of the
// process and is shared by all who ask for the same file. Returns null with
// the reason in `error` when the library cannot be loaded or lacks an entry.
// For any thread: loading it ahead on another keeps the UI thread from
// waiting for the dynamic linker.
const MpvLibrary* LoadMpvLibrary(const std::string& file, std::string& error);
