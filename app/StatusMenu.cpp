#include "app/StatusMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QMenu>
#include <QMetaObject>
#include <stdexcept>

namespace ferrymark {
namespace {

// The titles of resources/StatusMenu.json, for the translation tools; the menu shows
// each title translated at run time.
[[maybe_unused]] constexpr const char* kTitles[] = {
    QT_TRANSLATE_NOOP("StatusMenu", "Paste Here"),
    QT_TRANSLATE_NOOP("StatusMenu", "Move Here"),
    QT_TRANSLATE_NOOP("StatusMenu", "Transfers"),
    QT_TRANSLATE_NOOP("StatusMenu", "Add to File Managers"),
    QT_TRANSLATE_NOOP("StatusMenu", "Remove from File Managers"),
    QT_TRANSLATE_NOOP("StatusMenu", "Preferences…"),
    QT_TRANSLATE_NOOP("StatusMenu", "About Ferrymark"),
    QT_TRANSLATE_NOOP("StatusMenu", "Quit Ferrymark"),
};

Qt::KeyboardModifiers modifiersNamed(const QJsonArray& names) {
    Qt::KeyboardModifiers mask;
    for (const auto& name : names) {
        const QString n = name.toString();
        if (n == QLatin1String("Ctrl")) {
            mask |= Qt::ControlModifier;
        } else if (n == QLatin1String("Shift")) {
            mask |= Qt::ShiftModifier;
        } else if (n == QLatin1String("Alt")) {
            mask |= Qt::AltModifier;
        } else if (n == QLatin1String("Meta")) {
            mask |= Qt::MetaModifier;
        } else {
            throw std::runtime_error("unknown modifier in the status menu: " + n.toStdString());
        }
    }
    return mask;
}

}  // namespace

StatusMenu::StatusMenu(QObject* target, const QString& resource)
    : menu_(std::make_unique<QMenu>()) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("can not read the status menu " + resource.toStdString());
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        throw std::runtime_error("broken status menu: " + error.errorString().toStdString());
    }
    for (const auto& value : doc.object().value(QStringLiteral("entries")).toArray()) {
        const QJsonObject e = value.toObject();
        if (e.value(QStringLiteral("separator")).toBool()) {
            menu_->addSeparator();
            continue;
        }
        const QString title = QCoreApplication::translate(
            "StatusMenu", e.value(QStringLiteral("title")).toString().toUtf8().constData());
        if (e.value(QStringLiteral("windowMenu")).toBool()) {
            windowMenu_ = new QMenu(title, menu_.get());
            windowMenuItem_ = menu_->addMenu(windowMenu_);
            windowMenuItem_->setEnabled(false);
            continue;
        }
        Entry entry;
        entry.slot = e.value(QStringLiteral("action")).toString().toLatin1();
        entry.keyEquivalent = e.value(QStringLiteral("key")).toString();
        entry.modifierMask = modifiersNamed(e.value(QStringLiteral("modifiers")).toArray());
        entry.action = menu_->addAction(title);
        // Shown as a hint only: the key works through the global grab.
        entry.action->setShortcut(sequenceOf(entry.keyEquivalent, entry.modifierMask));
        entry.action->setShortcutContext(Qt::WidgetShortcut);
        entry.action->setShortcutVisibleInContextMenu(true);
        QAction* action = entry.action;
        const QByteArray slot = entry.slot;
        QObject::connect(action, &QAction::triggered, target, [target, action, slot] {
            QMetaObject::invokeMethod(target, slot.constData(),
                                      Q_ARG(QObject*, static_cast<QObject*>(action)));
        });
        entries_.push_back(entry);
    }
    if (!windowMenu_) {
        throw std::runtime_error("the status menu has no entry for running transfers");
    }
}

StatusMenu::~StatusMenu() = default;

bool StatusMenu::setKeyEquivalent(const QByteArray& slot, const QString& key,
                                  Qt::KeyboardModifiers mask) {
    for (Entry& entry : entries_) {
        if (entry.slot == slot) {
            entry.keyEquivalent = key;
            entry.modifierMask = key.isEmpty() ? Qt::KeyboardModifiers{} : mask;
            entry.action->setShortcut(sequenceOf(key, entry.modifierMask));
            return true;
        }
    }
    return false;
}

QKeySequence StatusMenu::sequenceOf(const QString& key, Qt::KeyboardModifiers mask) {
    if (key.isEmpty()) {
        return {};
    }
    return QKeySequence(QKeyCombination(mask, Qt::Key(key.toUpper().at(0).unicode())));
}

bool StatusMenu::keyOf(const QKeySequence& sequence, QString* key, Qt::KeyboardModifiers* mask) {
    if (sequence.count() != 1) {
        return false;
    }
    const QKeyCombination combination = sequence[0];
    const int code = combination.key();
    // A hot key is a printable key: Qt's key codes for them are their upper-case characters.
    if (code < 0x21 || code > 0x7e) {
        return false;
    }
    *key = QString(QChar(code));
    *mask = combination.keyboardModifiers() &
            (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    return true;
}

}  // namespace ferrymark
