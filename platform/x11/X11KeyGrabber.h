#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/IKeyGrabber.h"

struct xkb_context;
struct xkb_keymap;

namespace ferrymark {

// Hot-key grabs on the X11 root window, on Qt's own connection. Key events and keymap
// changes arrive through the application's native event filter, on the UI thread.
class X11KeyGrabber final : public QObject, public IKeyGrabber, public QAbstractNativeEventFilter {
  public:
    // Null when the application does not run on an X11 display with the XKB extension.
    static std::unique_ptr<X11KeyGrabber> create();
    ~X11KeyGrabber() override;
    X11KeyGrabber(const X11KeyGrabber&) = delete;
    X11KeyGrabber& operator=(const X11KeyGrabber&) = delete;

    std::vector<std::pair<std::uint32_t, QString>> keyCharacters() override;
    Grab grab(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
              const Purpose& purpose) override;
    void ungrab(GrabRef ref) override;
    void setHandlers(EventHandler onKey, LayoutHandler onLayoutChange) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    struct XkbDeleter {
        void operator()(xkb_context* context) const;
        void operator()(xkb_keymap* keymap) const;
    };
    struct Record {
        xcb_keycode_t keyCode = 0;
        std::uint16_t modifiers = 0;
        HotKeyId id;
        std::vector<std::uint16_t> variants;  // the modifiers with each lock-key combination
    };

    X11KeyGrabber(xcb_connection_t* connection, xcb_window_t root, std::uint8_t xkbEventBase);
    void loadKeymap();
    std::uint16_t findNumLockMask() const;
    bool keyPressed(const xcb_key_press_event_t& event);
    bool keyReleased(const xcb_key_release_event_t& event);
    void scheduleLayoutChange();
    void release(const Record& record);

    xcb_connection_t* connection_;  // null once the application has gone
    xcb_window_t root_;
    std::uint8_t xkbEventBase_;
    std::unique_ptr<xkb_context, XkbDeleter> context_;
    std::unique_ptr<xkb_keymap, XkbDeleter> keymap_;
    std::uint32_t layout_ = 0;
    std::uint16_t numLockMask_ = 0;
    std::map<GrabRef, Record> grabs_;
    GrabRef nextRef_ = 1;
    std::map<xcb_keycode_t, HotKeyId> held_;  // hot keys pressed and not yet released
    EventHandler onKey_;
    LayoutHandler onLayoutChange_;
    bool layoutChangePending_ = false;
};

}  // namespace ferrymark
