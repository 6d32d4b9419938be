#include "app/TransferNotices.h"

#include "app/INotifier.h"
#include "ui/OutcomeTexts.h"
#include "ui/TransferReportWindow.h"

namespace ferrymark {

const QString TransferNotices::kDefaultAction = QStringLiteral("default");
const QString TransferNotices::kDetailsAction = QStringLiteral("details");
const QString TransferNotices::kEjectAction = QStringLiteral("eject");

TransferNotices::TransferNotices(INotifier& notifier, QObject* parent)
    : QObject(parent), notifier_(notifier) {
    connect(&notifier_, &INotifier::actionInvoked, this, &TransferNotices::onActionInvoked);
    connect(&notifier_, &INotifier::closed, this, &TransferNotices::forget);
}

TransferNotices::~TransferNotices() {
    for (const auto& window : windows_) {
        delete window.data();
    }
}

void TransferNotices::jobEnded(const TransferOutcome& outcome,
                               const std::optional<DriveFacts>& disk) {
    // Only a disk that took everything the job wrote may be called safe to take out.
    const bool onDisk = disk && outcome.dataOnDisk() && notifier_.serverPresent();
    const bool ejectable = onDisk && notifier_.supportsActions();
    QString diskLine;
    QStringList ejectAction;
    if (onDisk) {
        diskLine = ejectable ? tr("Everything is written to “%1”. Choose Eject, then it can be "
                                  "unplugged.")
                                   .arg(disk->name)
                             : tr("Everything is written to “%1”.").arg(disk->name);
    }
    if (ejectable) {
        ejectAction = {kEjectAction, tr("Eject")};
    }
    if (!outcome.incomplete()) {
        if (onDisk) {
            // Kept up: the user may come back to it when the disk is to go.
            const quint32 id =
                notifier_.post(OutcomeTexts::doneTitle(outcome), diskLine, ejectAction, ejectable);
            if (id != 0 && ejectable) {
                keep(id, std::nullopt, disk);
            }
        } else if (outcome.elapsed >= kLongJob && notifier_.serverPresent()) {
            notifier_.post(OutcomeTexts::doneTitle(outcome), QString());
        }
        return;
    }
    const QString show = tr("Show the list");
    QString body = OutcomeTexts::counts(outcome);
    if (onDisk) {
        body += QLatin1Char('\n') + diskLine;
    }
    const quint32 id =
        notifier_.serverPresent()
            ? notifier_.post(OutcomeTexts::incompleteTitle(outcome), body,
                             QStringList{kDefaultAction, show, kDetailsAction, show} + ejectAction,
                             true)
            : 0;
    // Without a way to reach the list from the notification, the list comes up itself:
    // the user must learn what was left out.
    if (id == 0 || !notifier_.supportsActions()) {
        showList(outcome);
        return;
    }
    keep(id, outcome, ejectable ? disk : std::nullopt);
}

void TransferNotices::keep(quint32 id, std::optional<TransferOutcome> outcome,
                           std::optional<DriveFacts> disk) {
    if (outcome) {
        waiting_.insert_or_assign(id, std::move(*outcome));
    }
    if (disk) {
        disks_.insert_or_assign(id, std::move(*disk));
    }
    order_.push_back(id);
    while (order_.size() > kKeptLists) {
        forget(order_.front());
    }
}

void TransferNotices::forget(quint32 id) {
    waiting_.erase(id);
    disks_.erase(id);
    std::erase(order_, id);
}

void TransferNotices::onActionInvoked(quint32 id, const QString& key) {
    if (key == kEjectAction) {
        if (const auto disk = disks_.find(id); disk != disks_.end()) {
            emit ejectRequested(disk->second);
        }
        return;
    }
    const auto it = waiting_.find(id);
    if (it == waiting_.end() || (key != kDefaultAction && key != kDetailsAction)) {
        return;
    }
    // The server may keep the notification after the action: the outcome stays until it
    // is closed, so a second click brings up a second list rather than nothing.
    showList(it->second);
}

void TransferNotices::showList(const TransferOutcome& outcome) {
    windows_.removeAll(nullptr);
    auto* window = new TransferReportWindow(outcome);
    windows_.append(window);
    window->show();
    window->raise();
    window->activateWindow();
    emit windowOpened(window);
}

QList<TransferReportWindow*> TransferNotices::windows() const {
    QList<TransferReportWindow*> open;
    for (const auto& window : windows_) {
        if (window) {
            open.append(window.data());
        }
    }
    return open;
}

}  // namespace ferrymark
