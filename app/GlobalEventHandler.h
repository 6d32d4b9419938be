#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>
#include <cstdint>
#include <memory>

#include "platform/HotKeyId.h"
#include "platform/IKeyGrabber.h"

class QObject;

namespace ferrymark {

// System-wide hot keys for the tray menu's commands: a pressed hot key runs the action of
// its menu entry on the entry's target, with a null sender. No instances: the tables are
// process-wide. Everything runs on the UI thread.
class GlobalEventHandler {
  public:
    static constexpr std::uint32_t kSignature = 0x66637079;  // 'fcpy'
    // An action throws a NamedException of this name to decline its hot key.
    static constexpr const char* kUnhandledExceptionName = "GlobalEvent Unhandled Exception";

    GlobalEventHandler() = delete;

    // keyEquivalent is one character as a menu shows it; its case adds no Shift. Of the
    // mask only Control, Shift, Alt and Meta count. action names a slot of target taking
    // the sender (QObject*). target is not owned. The first registration of a key
    // combination keeps it. Answers whether the key is grabbed now for this registration.
    // Desktops that list the keys they give out show description (else the action's name)
    // and know the key by the action's name.
    static bool registerKeyEquivalent(const QString& keyEquivalent,
                                      Qt::KeyboardModifiers modifierMask, QObject* target,
                                      const QByteArray& action, const QString& description = {});
    static void unregisterKeyEquivalent(const QString& keyEquivalent,
                                        Qt::KeyboardModifiers modifierMask);

    // Runs a pressed hot key's action. Answers whether the event was handled: a release,
    // an unknown id and a declining action leave it unhandled. Throws nothing.
    static bool handleEvent(IKeyGrabber::EventKind kind, HotKeyId id);

    // The session's own grabber in place of the X11 one; before the first registration.
    static void useGrabber(std::unique_ptr<IKeyGrabber> grabber);

    // Drops every hot key and starts afresh with grabber; with null, the next use picks
    // the display's own grabber.
    static void resetForTesting(std::unique_ptr<IKeyGrabber> grabber);
};

}  // namespace ferrymark
