#include "StandInClient.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace ferrymark::testing {

StandInClient::StandInClient() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    connection_ = connection;
    screen_ = it.data;
}

StandInClient::~StandInClient() {
    if (connection_ != nullptr) {
        xcb_disconnect(connection_);
    }
}

xcb_window_t StandInClient::createWindow(const std::string& windowClass, const std::string& title,
                                         xcb_window_t transientFor) {
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, 0, 0, 320, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, 0, nullptr);
    std::string instance = windowClass;
    std::transform(instance.begin(), instance.end(), instance.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string wmClass = instance + '\0' + windowClass + '\0';
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(wmClass.size()),
                        wmClass.data());
    if (transientFor != XCB_WINDOW_NONE) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_TRANSIENT_FOR,
                            XCB_ATOM_WINDOW, 32, 1, &transientFor);
    }
    setTitle(window, title);
    xcb_map_window(connection_, window);
    sync();
    return window;
}

void StandInClient::setTitle(xcb_window_t window, const std::string& title) {
    setUtf8Property(window, "_NET_WM_NAME", title);
    sync();
}

void StandInClient::setUtf8Property(xcb_window_t window, const std::string& name,
                                    const std::string& value) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(name), atom("UTF8_STRING"),
                        8, static_cast<std::uint32_t>(value.size()), value.data());
    sync();
}

void StandInClient::destroy(xcb_window_t window) {
    xcb_destroy_window(connection_, window);
    sync();
}

void StandInClient::requestActivation(xcb_window_t window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2;
    xcb_send_event(connection_, 0, screen_->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    sync();
}

xcb_window_t StandInClient::activeWindow() {
    const auto windows = windowList(atom("_NET_ACTIVE_WINDOW"));
    return windows.empty() ? xcb_window_t{XCB_WINDOW_NONE} : windows.front();
}

std::vector<xcb_window_t> StandInClient::clientList() {
    return windowList(atom("_NET_CLIENT_LIST"));
}

void StandInClient::sync() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

xcb_atom_t StandInClient::atom(const std::string& name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()),
            nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<xcb_window_t> StandInClient::windowList(xcb_atom_t property) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, screen_->root, property, XCB_ATOM_WINDOW, 0, 4096),
            nullptr),
        &std::free);
    if (!reply) {
        return {};
    }
    const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    const int count =
        xcb_get_property_value_length(reply.get()) / static_cast<int>(sizeof(xcb_window_t));
    return {data, data + count};
}

}  // namespace ferrymark::testing
