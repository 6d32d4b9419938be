#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>
#include <memory>
#include <vector>

class QAction;
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

  private:
    std::unique_ptr<QMenu> menu_;
    QAction* windowMenuItem_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    std::vector<Entry> entries_;
};

}  // namespace ferrymark
