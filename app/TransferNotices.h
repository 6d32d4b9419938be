#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <deque>
#include <map>
#include <optional>

#include "platform/freedesktop/DriveFacts.h"
#include "ui/TransferOutcome.h"

namespace ferrymark {

class INotifier;
class TransferReportWindow;

// Tells the user how a transfer ended when there is something to tell: a job that left
// items out or was stopped gets a notification whose action opens the list of them (or the
// list itself when nothing on the desktop shows notifications); a long clean job gets a
// short notification; a quick clean one nothing. A job whose target is on a removable disk,
// and whose data reached it, always gets a word: that the disk holds the data, and an
// Eject action. UI thread only.
class TransferNotices : public QObject {
    Q_OBJECT
  public:
    // A clean job at least this long is worth a word: the user has likely looked away.
    static constexpr std::chrono::seconds kLongJob{5};
    // Lists kept for notifications still up. Some servers never say a notification went;
    // past this many the oldest list is let go.
    static constexpr std::size_t kKeptLists = 32;
    // Keys of the incomplete job's notification actions; both open the list.
    static const QString kDefaultAction;
    static const QString kDetailsAction;
    static const QString kEjectAction;

    explicit TransferNotices(INotifier& notifier, QObject* parent = nullptr);
    ~TransferNotices() override;

    // disk: the removable disk the target lies on, if any.
    void jobEnded(const TransferOutcome& outcome,
                  const std::optional<DriveFacts>& disk = std::nullopt);
    // The list windows open now, oldest first.
    QList<TransferReportWindow*> windows() const;

  signals:
    void windowOpened(TransferReportWindow* window);
    // The user chose Eject in a job's notification.
    void ejectRequested(const ferrymark::DriveFacts& disk);

  private:
    void onActionInvoked(quint32 id, const QString& key);
    void showList(const TransferOutcome& outcome);
    void keep(quint32 id, std::optional<TransferOutcome> outcome, std::optional<DriveFacts> disk);
    void forget(quint32 id);

    INotifier& notifier_;
    // Incomplete jobs whose notification is still up, by its id.
    std::map<quint32, TransferOutcome> waiting_;
    // Disks offered for ejecting in a notification still up, by its id.
    std::map<quint32, DriveFacts> disks_;
    std::deque<quint32> order_;  // ids as posted, oldest first
    QList<QPointer<TransferReportWindow>> windows_;
};

}  // namespace ferrymark
