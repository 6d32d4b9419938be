#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>
#include <memory>
#include <vector>

class QAction;
class QKeySequence;
class QMenu;
class QObject;

namespace ferrymark {

// The tray menu, built from the resource ":/StatusMenu.json": its entries, their titles,
// actions and key equivalents. The one place where hot keys are defined.
class StatusMenu {
  public:
    struct Entry {
        QAction* action = nullptr;
        QByteArray slot;  // the target's slot, taking the sender
        QString keyEquivalent;
        Qt::KeyboardModifiers modifierMask;
    };

    // Entries run their slot on target. Throws std::runtime_error for a broken resource.
    StatusMenu(QObject* target, const QString& resource = QStringLiteral(":/StatusMenu.json"));
    ~StatusMenu();

    QMenu* menu() const { return menu_.get(); }
    QAction* windowMenuItem() const { return windowMenuItem_; }
    QMenu* windowMenu() const { return windowMenu_; }
    // The top-level entries with an action, in menu order.
    const std::vector<Entry>& entries() const { return entries_; }
    // Gives the entry running slot another key equivalent (the user's choice); an empty
    // key takes it away. False when no entry runs slot.
    bool setKeyEquivalent(const QByteArray& slot, const QString& key, Qt::KeyboardModifiers mask);

    // A key combination as the settings and the key editor hold it, and back. keyOf is
    // false for a sequence that is not one printable key with modifiers.
    static QKeySequence sequenceOf(const QString& key, Qt::KeyboardModifiers mask);
    static bool keyOf(const QKeySequence& sequence, QString* key, Qt::KeyboardModifiers* mask);

  private:
    std::unique_ptr<QMenu> menu_;
    QAction* windowMenuItem_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    std::vector<Entry> entries_;
};

}  // namespace ferrymark
