#pragma once

#include <xcb/xcb.h>

#include <string>
#include <vector>

namespace ferrymark::testing {

// Another X client on the test display: makes top-level windows that carry a file
// manager's (or any application's) WM_CLASS, title and GTK properties.
class StandInClient {
  public:
    StandInClient();
    ~StandInClient();
    StandInClient(const StandInClient&) = delete;
    StandInClient& operator=(const StandInClient&) = delete;

    bool connected() const { return connection_ != nullptr; }

    // A mapped top-level window; WM_CLASS is "<windowClass lowercased>\0<windowClass>\0".
    xcb_window_t createWindow(const std::string& windowClass, const std::string& title,
                              xcb_window_t transientFor = XCB_WINDOW_NONE);
    void setTitle(xcb_window_t window, const std::string& title);
    void setUtf8Property(xcb_window_t window, const std::string& name, const std::string& value);
    void destroy(xcb_window_t window);

    // Asks the window manager to activate the window, as a pager would.
    void requestActivation(xcb_window_t window);

    xcb_window_t activeWindow();
    std::vector<xcb_window_t> clientList();

    // Returns once the server has handled every request sent so far.
    void sync();

  private:
    xcb_atom_t atom(const std::string& name);
    std::vector<xcb_window_t> windowList(xcb_atom_t property);

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
};

}  // namespace ferrymark::testing
