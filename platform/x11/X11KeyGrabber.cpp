#include "platform/x11/X11KeyGrabber.h"

// xkb.h names a struct member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

namespace ferrymark {
namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

void X11KeyGrabber::XkbDeleter::operator()(xkb_context* context) const {
    xkb_context_unref(context);
}

void X11KeyGrabber::XkbDeleter::operator()(xkb_keymap* keymap) const {
    xkb_keymap_unref(keymap);
}

std::unique_ptr<X11KeyGrabber> X11KeyGrabber::create() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return nullptr;
    }
    std::uint8_t xkbEventBase = 0;
    if (xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbEventBase, nullptr) == 0) {
        return nullptr;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<X11KeyGrabber>(
        new X11KeyGrabber(connection, screen->root, xkbEventBase));
}

X11KeyGrabber::X11KeyGrabber(xcb_connection_t* connection, xcb_window_t root,
                             std::uint8_t xkbEventBase)
    : connection_(connection),
      root_(root),
      xkbEventBase_(xkbEventBase),
      context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
    // Qt asks for these on its connection as well; asking again only adds.
    const std::uint16_t events =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    const std::uint16_t parts =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
    xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, parts, parts,
                          nullptr);
    loadKeymap();
    QCoreApplication::instance()->installNativeEventFilter(this);
    // Qt closes its connection with the application.
    connect(QCoreApplication::instance(), &QObject::destroyed, this,
            [this] { connection_ = nullptr; });
}

X11KeyGrabber::~X11KeyGrabber() {
    for (const auto& [ref, record] : grabs_) {
        release(record);
    }
}

void X11KeyGrabber::loadKeymap() {
    keymap_.reset();
    numLockMask_ = 0;
    if (connection_ == nullptr || !context_) {
        return;
    }
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection_);
    if (device < 0) {
        return;
    }
    keymap_.reset(xkb_x11_keymap_new_from_device(context_.get(), connection_, device,
                                                 XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap_) {
        return;
    }
    if (xkb_state* state = xkb_x11_state_new_from_device(keymap_.get(), connection_, device)) {
        layout_ = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
        xkb_state_unref(state);
    }
    numLockMask_ = findNumLockMask();
}

// Num Lock's modifier is whichever the modifier map gives a Num_Lock key.
std::uint16_t X11KeyGrabber::findNumLockMask() const {
    const Reply<xcb_get_modifier_mapping_reply_t> reply(xcb_get_modifier_mapping_reply(
        connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (!reply) {
        return 0;
    }
    const xcb_keycode_t* keyCodes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t key = keyCodes[modifier * perModifier + i];
            if (key == 0) {
                continue;
            }
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_.get(), key);
            for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
                const xkb_level_index_t levels =
                    xkb_keymap_num_levels_for_key(keymap_.get(), key, layout);
                for (xkb_level_index_t level = 0; level < levels; ++level) {
                    const xkb_keysym_t* syms = nullptr;
                    const int count =
                        xkb_keymap_key_get_syms_by_level(keymap_.get(), key, layout, level, &syms);
                    for (int s = 0; s < count; ++s) {
                        if (syms[s] == XKB_KEY_Num_Lock) {
                            return static_cast<std::uint16_t>(1u << modifier);
                        }
                    }
                }
            }
        }
    }
    return 0;
}

std::vector<std::pair<std::uint32_t, QString>> X11KeyGrabber::keyCharacters() {
    std::vector<std::pair<std::uint32_t, QString>> keys;
    if (!keymap_) {
        return keys;
    }
    xkb_state* state = xkb_state_new(keymap_.get());
    if (state == nullptr) {
        return keys;
    }
    // The layout in force, no modifiers.
    xkb_state_update_mask(state, 0, 0, 0, 0, 0, layout_);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap_.get());
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap_.get()); key <= last; ++key) {
        // Dead keys and keys without a character give 0.
        const char32_t character = xkb_keysym_to_utf32(xkb_state_key_get_one_sym(state, key));
        if (character != 0) {
            keys.emplace_back(key, QString::fromUcs4(&character, 1));
        }
    }
    xkb_state_unref(state);
    return keys;
}

IKeyGrabber::Grab X11KeyGrabber::grab(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
                                      const Purpose&) {
    if (connection_ == nullptr || keyCode > 255) {
        return {};
    }
    Record record;
    record.keyCode = static_cast<xcb_keycode_t>(keyCode);
    record.modifiers = static_cast<std::uint16_t>(modifiers);
    record.id = id;
    // A passive grab matches its modifiers exactly: grab once for each state of the lock keys.
    for (const std::uint16_t locks :
         {std::uint16_t{0}, std::uint16_t{XCB_MOD_MASK_LOCK}, numLockMask_,
          static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLockMask_)}) {
        const auto variant = static_cast<std::uint16_t>(record.modifiers | locks);
        if (std::find(record.variants.begin(), record.variants.end(), variant) ==
            record.variants.end()) {
            record.variants.push_back(variant);
        }
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (const std::uint16_t variant : record.variants) {
        cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, variant, record.keyCode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    GrabStatus status = GrabStatus::Grabbed;
    std::vector<std::uint16_t> grabbed;
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        const Reply<xcb_generic_error_t> error(xcb_request_check(connection_, cookies[i]));
        if (!error) {
            grabbed.push_back(record.variants[i]);
        } else if (error->error_code == XCB_ACCESS) {
            status = GrabStatus::HeldByAnotherProgram;
        } else if (status == GrabStatus::Grabbed) {
            status = GrabStatus::Refused;
        }
    }
    if (status != GrabStatus::Grabbed) {
        // A hot key that worked with some lock keys only would puzzle: let go of all of it.
        record.variants = grabbed;
        release(record);
        return {kNoGrab, status};
    }
    const GrabRef ref = nextRef_++;
    grabs_.emplace(ref, std::move(record));
    return {ref, GrabStatus::Grabbed};
}

void X11KeyGrabber::ungrab(GrabRef ref) {
    const auto it = grabs_.find(ref);
    if (it == grabs_.end()) {
        return;
    }
    release(it->second);
    const auto held = held_.find(it->second.keyCode);
    if (held != held_.end() && held->second == it->second.id) {
        held_.erase(held);
    }
    grabs_.erase(it);
}

void X11KeyGrabber::release(const Record& record) {
    if (connection_ == nullptr) {
        return;
    }
    for (const std::uint16_t variant : record.variants) {
        xcb_ungrab_key(connection_, record.keyCode, root_, variant);
    }
    xcb_flush(connection_);
}

void X11KeyGrabber::setHandlers(EventHandler onKey, LayoutHandler onLayoutChange) {
    onKey_ = std::move(onKey);
    onLayoutChange_ = std::move(onLayoutChange);
}

bool X11KeyGrabber::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (connection_ == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS) {
        return keyPressed(*reinterpret_cast<const xcb_key_press_event_t*>(event));
    }
    if (type == XCB_KEY_RELEASE) {
        return keyReleased(*reinterpret_cast<const xcb_key_release_event_t*>(event));
    }
    if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request !=
            XCB_MAPPING_POINTER) {
            scheduleLayoutChange();
        }
    } else if (type == xkbEventBase_) {
        const std::uint8_t xkbType =
            reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(event)->xkbType;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY) {
            scheduleLayoutChange();
        }
    }
    return false;
}

bool X11KeyGrabber::keyPressed(const xcb_key_press_event_t& event) {
    if (event.event != root_) {
        return false;
    }
    // Auto-repeat of a hot key being held: it has run once already.
    if (held_.contains(event.detail)) {
        return true;
    }
    const auto modifiers =
        static_cast<std::uint16_t>(event.state & 0xff & ~(XCB_MOD_MASK_LOCK | numLockMask_));
    for (const auto& [ref, record] : grabs_) {
        if (record.keyCode == event.detail && record.modifiers == modifiers) {
            const HotKeyId id = record.id;
            held_.emplace(event.detail, id);
            return onKey_ ? onKey_(EventKind::Pressed, id) : false;
        }
    }
    return false;
}

// The grab lasts until its key is released, so the release comes to us even when the
// modifiers went up first.
bool X11KeyGrabber::keyReleased(const xcb_key_release_event_t& event) {
    if (event.event != root_) {
        return false;
    }
    const auto it = held_.find(event.detail);
    if (it == held_.end()) {
        return false;
    }
    const HotKeyId id = it->second;
    held_.erase(it);
    return onKey_ ? onKey_(EventKind::Released, id) : false;
}

void X11KeyGrabber::scheduleLayoutChange() {
    if (layoutChangePending_) {
        return;
    }
    // A keymap change comes as a burst of events: reload once for all of them.
    layoutChangePending_ = true;
    QTimer::singleShot(0, this, [this] {
        layoutChangePending_ = false;
        loadKeymap();
        if (onLayoutChange_) {
            onLayoutChange_();
        }
    });
}

}  // namespace ferrymark
