#include "app/GlobalEventHandler.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <algorithm>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/NamedException.h"
#include "platform/x11/X11KeyGrabber.h"
#include "ui/SystemLog.h"

namespace ferrymark {
namespace {

// Key code in the high 32 bits, hot-key modifiers in the low 32 bits.
using CombinedKey = std::uint64_t;

// A character that no key types is keyed by its code point above every key code: such
// characters stay apart from each other and find their key again after a layout change.
constexpr std::uint64_t kNoKeyCode = 0x80000000u;

struct Combination {
    HotKeyId id;
    IKeyGrabber::GrabRef ref = IKeyGrabber::kNoGrab;
    QString character;  // lower-cased key equivalent
    std::uint32_t modifiers = 0;
    IKeyGrabber::Purpose purpose;
};

struct Action {
    QPointer<QObject> target;
    QByteArray action;
};

struct State {
    bool initialized = false;
    std::unique_ptr<IKeyGrabber> grabber;
    std::optional<std::map<QString, std::uint32_t>> keyCodes;
    std::uint32_t idCounter = 1;
    std::map<CombinedKey, Combination> combinations;
    std::map<HotKeyId, Action> dispatch;
};

State& state() {
    static State s;
    return s;
}

std::uint32_t hotKeyModifiers(Qt::KeyboardModifiers mask) {
    std::uint32_t modifiers = 0;
    if (mask & Qt::ControlModifier) {
        modifiers |= IKeyGrabber::kControl;
    }
    if (mask & Qt::ShiftModifier) {
        modifiers |= IKeyGrabber::kShift;
    }
    if (mask & Qt::AltModifier) {
        modifiers |= IKeyGrabber::kAlt;
    }
    if (mask & Qt::MetaModifier) {
        modifiers |= IKeyGrabber::kMeta;
    }
    return modifiers;
}

std::string describe(const Combination& c) {
    QString text;
    if (c.modifiers & IKeyGrabber::kControl) {
        text += QStringLiteral("Ctrl+");
    }
    if (c.modifiers & IKeyGrabber::kAlt) {
        text += QStringLiteral("Alt+");
    }
    if (c.modifiers & IKeyGrabber::kShift) {
        text += QStringLiteral("Shift+");
    }
    if (c.modifiers & IKeyGrabber::kMeta) {
        text += QStringLiteral("Meta+");
    }
    return (text + c.character).toStdString();
}

std::optional<std::uint32_t> keyCodeFor(const QString& character) {
    State& s = state();
    if (!s.keyCodes) {
        auto keys = s.grabber->keyCharacters();
        if (keys.empty()) {
            return std::nullopt;  // the layout could not be read: try again next time
        }
        std::map<QString, std::uint32_t> table;
        for (const auto& [code, text] : keys) {
            if (text.isEmpty()) {
                continue;
            }
            // The lowest key code that types a character keeps it.
            const auto [it, added] = table.emplace(text, code);
            if (!added && code < it->second) {
                it->second = code;
            }
        }
        s.keyCodes = std::move(table);
    }
    const auto it = s.keyCodes->find(character);
    if (it == s.keyCodes->end()) {
        return std::nullopt;
    }
    return it->second;
}

CombinedKey combinedKey(std::optional<std::uint32_t> keyCode, const QString& character,
                        std::uint32_t modifiers) {
    const std::uint64_t high =
        keyCode ? *keyCode : kNoKeyCode | (character.isEmpty() ? 0u : character.toUcs4().at(0));
    return high << 32 | modifiers;
}

// Grabs the combination's key, if its character has one, and says why when it cannot.
IKeyGrabber::GrabRef grab(std::optional<std::uint32_t> keyCode, const Combination& c) {
    if (!keyCode) {
        SystemLog::write("Hot key " + describe(c) +
                         " is off: no key of the keyboard layout types it");
        return IKeyGrabber::kNoGrab;
    }
    const auto result = state().grabber->grab(*keyCode, c.modifiers, c.id, c.purpose);
    switch (result.status) {
        case IKeyGrabber::GrabStatus::Grabbed:
            return result.ref;
        case IKeyGrabber::GrabStatus::HeldByAnotherProgram:
            SystemLog::write("Hot key " + describe(c) + " is off: another program holds it");
            break;
        case IKeyGrabber::GrabStatus::Refused:
            SystemLog::write("Hot key " + describe(c) + " is off: the display refused it");
            break;
    }
    return IKeyGrabber::kNoGrab;
}

void ungrab(IKeyGrabber::GrabRef ref) {
    if (ref != IKeyGrabber::kNoGrab) {
        state().grabber->ungrab(ref);
    }
}

// A layout change moves characters to other keys, while a grab stays on its key code:
// every hot key is grabbed afresh with the new key codes.
void keyboardLayoutChanged() {
    State& s = state();
    std::vector<Combination> entries;
    for (auto& [key, c] : s.combinations) {
        ungrab(c.ref);
        c.ref = IKeyGrabber::kNoGrab;
        entries.push_back(c);
    }
    std::sort(entries.begin(), entries.end(),
              [](const Combination& a, const Combination& b) { return a.id < b.id; });
    s.keyCodes.reset();
    std::map<CombinedKey, Combination> combinations;
    for (Combination& c : entries) {
        const auto keyCode = keyCodeFor(c.character);
        const CombinedKey key = combinedKey(keyCode, c.character, c.modifiers);
        if (combinations.contains(key)) {
            s.dispatch.erase(c.id);  // as at registration, the earlier hot key keeps it
            continue;
        }
        c.ref = grab(keyCode, c);
        combinations.emplace(key, c);
    }
    s.combinations = std::move(combinations);
}

bool ensureInitialized() {
    State& s = state();
    if (!s.initialized) {
        s.initialized = true;
        if (!s.grabber) {
            s.grabber = X11KeyGrabber::create();
        }
        if (s.grabber) {
            s.grabber->setHandlers(&GlobalEventHandler::handleEvent, &keyboardLayoutChanged);
        } else {
            SystemLog::write("Global hot keys are off: they need an X11 display");
        }
    }
    return s.grabber != nullptr;
}

void invoke(const Action& action) {
    QObject* target = action.target.data();
    if (target == nullptr) {
        return;  // no target, or it has gone: nothing to run
    }
    const QMetaObject* meta = target->metaObject();
    const int index =
        meta->indexOfMethod(QMetaObject::normalizedSignature(action.action + "(QObject*)"));
    if (index < 0) {
        throw NamedException(
            "GlobalEvent Invalid Action",
            std::string(meta->className()) + " has no slot " + action.action.toStdString());
    }
    meta->method(index).invoke(target, Qt::DirectConnection, Q_ARG(QObject*, nullptr));
}

void logException(const std::string& what) {
    SystemLog::write("Exception occured while handling event - " + what);
}

}  // namespace

bool GlobalEventHandler::registerKeyEquivalent(const QString& keyEquivalent,
                                               Qt::KeyboardModifiers modifierMask, QObject* target,
                                               const QByteArray& action,
                                               const QString& description) {
    if (!ensureInitialized()) {
        return false;
    }
    State& s = state();
    Combination c;
    c.character = keyEquivalent.toLower();
    c.modifiers = hotKeyModifiers(modifierMask);
    c.purpose.name = QString::fromLatin1(action);
    c.purpose.description = description.isEmpty() ? c.purpose.name : description;
    c.id = HotKeyId{kSignature, s.idCounter++};  // taken also when nothing is added
    const auto keyCode = keyCodeFor(c.character);
    const CombinedKey key = combinedKey(keyCode, c.character, c.modifiers);
    if (s.combinations.contains(key)) {
        return false;
    }
    c.ref = grab(keyCode, c);
    s.combinations.emplace(key, c);
    s.dispatch.emplace(c.id, Action{target, action});
    return c.ref != IKeyGrabber::kNoGrab;
}

void GlobalEventHandler::unregisterKeyEquivalent(const QString& keyEquivalent,
                                                 Qt::KeyboardModifiers modifierMask) {
    if (!ensureInitialized()) {
        return;
    }
    State& s = state();
    const QString character = keyEquivalent.toLower();
    const auto it = s.combinations.find(
        combinedKey(keyCodeFor(character), character, hotKeyModifiers(modifierMask)));
    if (it == s.combinations.end()) {
        return;
    }
    ungrab(it->second.ref);
    s.dispatch.erase(it->second.id);
    s.combinations.erase(it);
}

bool GlobalEventHandler::handleEvent(IKeyGrabber::EventKind kind, HotKeyId id) {
    const State& s = state();
    const auto it = s.dispatch.find(id);
    if (it == s.dispatch.end() || kind == IKeyGrabber::EventKind::Released) {
        return false;
    }
    // A copy: the action may unregister hot keys.
    const Action action = it->second;
    try {
        invoke(action);
    } catch (const NamedException& e) {
        logException(e.name() + ": " + e.what());
        return e.name() != kUnhandledExceptionName;
    } catch (const std::exception& e) {
        logException(e.what());
    } catch (...) {
        logException("unknown exception");
    }
    return true;
}

void GlobalEventHandler::useGrabber(std::unique_ptr<IKeyGrabber> grabber) {
    resetForTesting(std::move(grabber));
}

void GlobalEventHandler::resetForTesting(std::unique_ptr<IKeyGrabber> grabber) {
    State& s = state();
    if (s.grabber) {
        for (const auto& [key, c] : s.combinations) {
            ungrab(c.ref);
        }
    }
    s = State{};
    s.grabber = std::move(grabber);
}

}  // namespace ferrymark
