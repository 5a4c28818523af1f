#include "WindowMapWatch.h"

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <xcb/xcb.h>

namespace {

unsigned Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const unsigned atom = reply != nullptr ? reply->atom : 0;
    std::free(reply);
    return atom;
}

}  // namespace

WindowMapWatch::WindowMapWatch(const std::string& display) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        throw std::runtime_error("cannot connect to X display " + display);
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    pidAtom_ = Atom(connection_, "_NET_WM_PID");
    xcb_flush(connection_);
}

WindowMapWatch::~WindowMapWatch() {
    xcb_disconnect(connection_);
}

std::optional<pid_t> WindowMapWatch::WindowPid(unsigned window) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1),
        nullptr);
    std::optional<pid_t> pid;
    if (reply != nullptr && xcb_get_property_value_length(reply) == 4) {
        pid = static_cast<pid_t>(*static_cast<uint32_t*>(xcb_get_property_value(reply)));
    }
    std::free(reply);
    return pid;
}

std::optional<WindowMapWatch::Clock::time_point> WindowMapWatch::WaitForWindowOf(
    pid_t pid, Clock::time_point deadline) {
    const int fd = xcb_get_file_descriptor(connection_);
    while (Clock::now() < deadline) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection_);
        if (event == nullptr) {
            if (xcb_connection_has_error(connection_) != 0) {
                return std::nullopt;
            }
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 5);
            continue;
        }
        // The time the event reached us, before anything else is asked.
        const Clock::time_point seen = Clock::now();
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        const unsigned window =
            mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
        std::free(event);
        if (mapped && WindowPid(window) == pid) {
            return seen;
        }
    }
    return std::nullopt;
}
