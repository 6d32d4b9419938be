#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <deque>
#include <map>

#include "ui/TransferOutcome.h"

namespace ferrymark {

class INotifier;
class TransferReportWindow;

// Tells the user how a transfer ended when there is something to tell: a job that left
// items out or was stopped gets a notification whose action opens the list of them (or the
// list itself when nothing on the desktop shows notifications); a long clean job gets a
// short notification; a quick clean one nothing. UI thread only.
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

    explicit TransferNotices(INotifier& notifier, QObject* parent = nullptr);
    ~TransferNotices() override;

    void jobEnded(const TransferOutcome& outcome);
    // The list windows open now, oldest first.
    QList<TransferReportWindow*> windows() const;

  signals:
    void windowOpened(TransferReportWindow* window);

  private:
    void onActionInvoked(quint32 id, const QString& key);
    void showList(const TransferOutcome& outcome);

    INotifier& notifier_;
    // Incomplete jobs whose notification is still up, by its id.
    std::map<quint32, TransferOutcome> waiting_;
    std::deque<quint32> order_;  // ids as posted, oldest first
    QList<QPointer<TransferReportWindow>> windows_;
};

}  // namespace ferrymark
