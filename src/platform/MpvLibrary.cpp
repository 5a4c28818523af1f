#include "MpvLibrary.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <memory>

namespace {

// Resolves one entry point; the first one missing is remembered.
template <typename Function>
void Resolve(void* library, const char* name, Function& entry, std::string& missing) {
    entry = reinterpret_cast<Function>(dlsym(library, name));
    if (entry == nullptr && missing.empty()) {
        missing = name;
    }
}

}  // namespace

const MpvLibrary* LoadMpvLibrary(const std::string& file, std::string& error) {
    // Never unloaded: mpv's threads and callbacks may outlive any one device.
    static std::map<std::string, std::unique_ptr<MpvLibrary>> loaded;
    static std::mutex lock;
    const std::lock_guard<std::mutex> held(lock);
    if (const auto found = loaded.find(file); found != loaded.end()) {
        return found->second.get();
    }
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = "The media player library " + file +
                " could not be loaded: " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }
    auto api = std::make_unique<MpvLibrary>();
    std::string missing;
    Resolve(library, "mpv_create", api->create, missing);
    Resolve(library, "mpv_initialize", api->initialize, missing);
    Resolve(library, "mpv_terminate_destroy", api->terminate_destroy, missing);
    Resolve(library, "mpv_set_option_string", api->set_option_string, missing);
    Resolve(library, "mpv_error_string", api->error_string, missing);
    Resolve(library, "mpv_observe_property", api->observe_property, missing);
    Resolve(library, "mpv_set_wakeup_callback", api->set_wakeup_callback, missing);
    Resolve(library, "mpv_wait_event", api->wait_event, missing);
    Resolve(library, "mpv_command", api->command, missing);
    Resolve(library, "mpv_command_ret", api->command_ret, missing);
    Resolve(library, "mpv_free_node_contents", api->free_node_contents, missing);
    Resolve(library, "mpv_get_property", api->get_property, missing);
    Resolve(library, "mpv_get_property_string", api->get_property_string, missing);
    Resolve(library, "mpv_set_property", api->set_property, missing);
    Resolve(library, "mpv_free", api->free, missing);
    if (!missing.empty()) {
        dlclose(library);
        error = "The media player library " + file + " is not usable: it has no " + missing;
        return nullptr;
    }
    return (loaded[file] = std::move(api)).get();
}
