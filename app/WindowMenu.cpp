#include "app/WindowMenu.h"

#include <QAction>
#include <QMenu>

#include "engine/CopyHandler.h"

namespace ferrymark {

WindowMenu::WindowMenu(QAction* windowMenuItem, QMenu* windowMenu, QObject* parent)
    : QObject(parent), windowMenuItem_(windowMenuItem), windowMenu_(windowMenu) {
    windowMenuItem_->setMenu(windowMenu_);
    windowMenuItem_->setEnabled(!windowMenu_->actions().isEmpty());
    connect(windowMenu_, &QMenu::aboutToShow, this, &WindowMenu::refresh);
    // Some trays show the entries' titles with the status menu itself.
    if (auto* statusMenu = qobject_cast<QMenu*>(windowMenu_->parent())) {
        connect(statusMenu, &QMenu::aboutToShow, this, &WindowMenu::refresh);
    }
}

namespace {

QString titleOf(const CopyHandler& job) {
    const QString name = QString::fromStdString(job.currentTarget());
    return job.waitingForTurn() ? WindowMenu::tr("%1 (waiting)").arg(name) : name;
}

}  // namespace

void WindowMenu::refresh() {
    for (auto& [entry, job] : entries_) {
        entry->setText(titleOf(*job));
    }
}

void WindowMenu::add(const std::shared_ptr<CopyHandler>& job) {
    if (!windowMenuItem_->isEnabled()) {
        windowMenuItem_->setEnabled(true);
    }
    auto* entry = new QAction(titleOf(*job), windowMenu_);
    CopyHandler* raw = job.get();
    connect(entry, &QAction::triggered, this, [raw] { raw->bringToFront(); });
    windowMenu_->addAction(entry);
    entries_[entry] = job;
}

void WindowMenu::remove(const CopyHandler* job) {
    for (QAction* entry : windowMenu_->actions()) {
        auto it = entries_.find(entry);
        if (it == entries_.end() || it->second.get() != job) {
            continue;
        }
        windowMenu_->removeAction(entry);
        auto keep = std::move(it->second);  // the job may go with this last reference
        entries_.erase(it);
        delete entry;
        break;
    }
    if (windowMenu_->actions().isEmpty()) {
        windowMenuItem_->setEnabled(false);
    }
}

std::vector<std::shared_ptr<CopyHandler>> WindowMenu::jobs() const {
    std::vector<std::shared_ptr<CopyHandler>> out;
    for (QAction* entry : windowMenu_->actions()) {
        if (auto it = entries_.find(entry); it != entries_.end()) {
            out.push_back(it->second);
        }
    }
    return out;
}

}  // namespace ferrymark
