#include "app/TransferNotices.h"

#include "app/INotifier.h"
#include "ui/OutcomeTexts.h"
#include "ui/TransferReportWindow.h"

namespace ferrymark {

const QString TransferNotices::kDefaultAction = QStringLiteral("default");
const QString TransferNotices::kDetailsAction = QStringLiteral("details");

TransferNotices::TransferNotices(INotifier& notifier, QObject* parent)
    : QObject(parent), notifier_(notifier) {
    connect(&notifier_, &INotifier::actionInvoked, this, &TransferNotices::onActionInvoked);
    connect(&notifier_, &INotifier::closed, this, [this](quint32 id) {
        waiting_.erase(id);
        std::erase(order_, id);
    });
}

TransferNotices::~TransferNotices() {
    for (const auto& window : windows_) {
        delete window.data();
    }
}

void TransferNotices::jobEnded(const TransferOutcome& outcome) {
    if (!outcome.incomplete()) {
        if (outcome.elapsed >= kLongJob && notifier_.serverPresent()) {
            notifier_.post(OutcomeTexts::doneTitle(outcome), QString());
        }
        return;
    }
    const QString show = tr("Show the list");
    const quint32 id =
        notifier_.serverPresent()
            ? notifier_.post(OutcomeTexts::incompleteTitle(outcome), OutcomeTexts::counts(outcome),
                             {kDefaultAction, show, kDetailsAction, show}, true)
            : 0;
    // Without a way to reach the list from the notification, the list comes up itself:
    // the user must learn what was left out.
    if (id == 0 || !notifier_.supportsActions()) {
        showList(outcome);
        return;
    }
    waiting_.insert_or_assign(id, outcome);
    order_.push_back(id);
    while (order_.size() > kKeptLists) {
        waiting_.erase(order_.front());
        order_.pop_front();
    }
}

void TransferNotices::onActionInvoked(quint32 id, const QString& key) {
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
