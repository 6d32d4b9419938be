#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/HotKeyId.h"

namespace ferrymark {

// The desktop's system-wide key grabs, as the hot keys need them: which key types which
// character, a grab of a key code with a modifier set under an id, and the pressed and
// released notifications of a grab, delivered on the UI thread.
class IKeyGrabber {
  public:
    // Modifier bits of a grab: the X11 core masks.
    static constexpr std::uint32_t kShift = 0x01;
    static constexpr std::uint32_t kControl = 0x04;
    static constexpr std::uint32_t kAlt = 0x08;   // Mod1
    static constexpr std::uint32_t kMeta = 0x40;  // Mod4

    using GrabRef = std::uint64_t;
    static constexpr GrabRef kNoGrab = 0;

    enum class GrabStatus { Grabbed, HeldByAnotherProgram, Refused };
    struct Grab {
        GrabRef ref = kNoGrab;  // kNoGrab unless grabbed
        GrabStatus status = GrabStatus::Refused;
    };

    enum class EventKind { Pressed, Released };
    // Answers whether the event was handled.
    using EventHandler = std::function<bool(EventKind, HotKeyId)>;
    // The keyboard layout has changed: key codes may type other characters now.
    using LayoutHandler = std::function<void()>;

    virtual ~IKeyGrabber() = default;

    // Each key code with the character it types without modifiers on the current layout.
    // Keys that type nothing (dead keys, modifiers, function keys) are left out. Empty
    // when the layout cannot be read.
    virtual std::vector<std::pair<std::uint32_t, QString>> keyCharacters() = 0;

    // What a grab is for, where the desktop lists the keys it gives out: a name that stays
    // the same from run to run (desktops remember the user's key for it by that name) and
    // a text for people.
    struct Purpose {
        QString name;
        QString description;
    };

    // A system-wide grab of the key with exactly these modifiers, whatever the lock keys.
    virtual Grab grab(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
                      const Purpose& purpose) = 0;
    virtual void ungrab(GrabRef ref) = 0;

    virtual void setHandlers(EventHandler onKey, LayoutHandler onLayoutChange) = 0;
};

}  // namespace ferrymark
