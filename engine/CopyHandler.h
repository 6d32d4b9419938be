#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <utility>
#include <vector>

#include "ConflictPolicy.h"
#include "CopyJournal.h"
#include "CopyLedger.h"
#include "DeferredConflict.h"
#include "DiskTurns.h"
#include "ICopyHandler.h"
#include "IHeartbeat.h"
#include "IJobHost.h"
#include "IProgressView.h"
#include "InFlightRecord.h"
#include "TransferReport.h"
#include "TurnHolder.h"
#include "WritebackPacer.h"

namespace ferrymark {

// The pause gate: one unit, held by the worker while it writes one chunk, or by a pause.
using PauseSemaphore = std::counting_semaphore<1>;

// One transfer: the copy or move of a fixed list of sources into one target folder.
// The worker writes the counters; the UI thread reads them at each tick, so every value
// shared between the two is atomic (relaxed order is enough for display values).
class CopyHandler final : public ICopyHandler {
  public:
    // The job, or null when its progress window cannot be made. Touches nothing on disk.
    static std::unique_ptr<CopyHandler> initWithFiles(std::vector<std::string> files,
                                                      IJobHost& host);
    ~CopyHandler();
    CopyHandler(const CopyHandler&) = delete;
    CopyHandler& operator=(const CopyHandler&) = delete;

    // Run the whole transfer on the calling worker thread; never on the UI thread.
    void copyFilesTo(const std::string& target);
    void moveFilesTo(const std::string& target);
    void performCopy(const std::string& target, bool deleteAfter);

    // UI thread: the progress window's buttons and the quit prompt.
    void togglePause() override;
    void cancelTask() override;
    // The progress window's "Start now": a job waiting for its turn on a disk goes ahead.
    void startNow() override;

    // UI thread: a heartbeat tick, and the window menu's entry.
    void updateUI();
    void bringToFront();

    IJobHost& host() const { return host_; }

    std::vector<std::string> srcList() const;
    void setSrcList(std::vector<std::string> list);
    IProgressView* wController() const;
    void setWController(std::unique_ptr<IProgressView> controller);
    std::string currentTarget() const;
    void setCurrentTarget(std::string target);
    // The whole path of the target folder and whether the sources go after the copy, set
    // before the job is listed: the desktop shows them, and asks which disk the job uses.
    std::string targetPath() const;
    void setTargetPath(std::string path);
    bool moving() const { return moving_.load(); }
    void setMoving(bool v) { moving_.store(v); }
    // The file being copied, set by the worker as each file starts, read at each tick.
    std::string currentItem() const;
    void setCurrentItem(std::string path);
    IHeartbeat* uiHeartBeat() const;
    void setUiHeartBeat(std::unique_ptr<IHeartbeat> heartbeat);

    std::int64_t totalItems() const { return totalItems_.load(std::memory_order_relaxed); }
    void setTotalItems(std::int64_t v) { totalItems_.store(v, std::memory_order_relaxed); }
    std::int64_t remainingItems() const { return remainingItems_.load(std::memory_order_relaxed); }
    void setRemainingItems(std::int64_t v) { remainingItems_.store(v, std::memory_order_relaxed); }
    std::int64_t totalData() const { return totalData_.load(std::memory_order_relaxed); }
    void setTotalData(std::int64_t v) { totalData_.store(v, std::memory_order_relaxed); }
    std::int64_t dataProcessed() const { return dataProcessed_.load(std::memory_order_relaxed); }
    void setDataProcessed(std::int64_t v) { dataProcessed_.store(v, std::memory_order_relaxed); }
    std::int64_t uiBeatCount() const { return uiBeatCount_.load(std::memory_order_relaxed); }
    void setUiBeatCount(std::int64_t v) { uiBeatCount_.store(v, std::memory_order_relaxed); }

    ConflictPolicy dirNoPrompt() const { return dirNoPrompt_.load(); }
    void setDirNoPrompt(ConflictPolicy p) { dirNoPrompt_.store(p); }
    ConflictPolicy fileNoPrompt() const { return fileNoPrompt_.load(); }
    void setFileNoPrompt(ConflictPolicy p) { fileNoPrompt_.store(p); }

    PauseSemaphore* pause_semaphore() const { return pauseSemaphore_.load(); }
    void setPause_semaphore(PauseSemaphore* gate) { pauseSemaphore_.store(gate); }
    bool paused() const { return paused_.load(); }
    void setPaused(bool v) { paused_.store(v); }
    bool cancelled() const { return cancelled_.load(); }
    void setCancelled(bool v) { cancelled_.store(v); }
    // Links inside folders (and links given as sources) are made anew as links instead of
    // copying what they point to. Set before the job runs.
    bool keepLinks() const { return keepLinks_.load(); }
    void setKeepLinks(bool v) { keepLinks_.store(v); }
    // Transfers to the same disk take turns: after counting, the job waits until no other
    // transfer uses a disk of its sources or of its target. Set before the job runs.
    bool takesTurns() const { return takesTurns_.load(); }
    void setTakesTurns(bool v) { takesTurns_.store(v); }
    // The job waits for its turn; turnHolder is what it waits for, as that transfer wrote it.
    bool waitingForTurn() const { return waitingForTurn_.load(); }
    void setWaitingForTurn(bool v) { waitingForTurn_.store(v); }
    TurnHolder turnHolder() const;
    void setTurnHolder(TurnHolder holder);
    // Told on the worker each time the job starts waiting for another transfer. Set before
    // the job runs.
    void setTurnObserver(std::function<void(const TurnHolder&)> observer) {
        turnObserver_ = std::move(observer);
    }

    // The copies are being flushed to the disk; no byte is left to copy.
    bool finishing() const { return finishing_.load(); }
    void setFinishing(bool v) { finishing_.store(v); }

    // The temporary names of the running job (worker only).
    InFlightRecord& inFlight() { return *inFlight_; }
    // Keeps the data written ahead of the disk small (worker only).
    WritebackPacer& writeback() { return *writeback_; }

    // Whether each copy is read back from the disk and compared with its original before
    // the job trusts it. Set before the job runs.
    bool verifying() const { return verify_.load(); }
    void setVerify(bool v) { verify_.store(v); }
    // The copies written and not yet confirmed on the disk (worker only).
    CopyLedger& ledger() { return *ledger_; }
    // Flushes and, when verifying, checks the copies noted since the last confirmation.
    void confirmCopies();
    // The copies are being read back: the window shows its checking phase.
    bool checking() const { return checking_.load(); }
    void setChecking(bool v) { checking_.store(v); }
    std::int64_t bytesChecked() const { return bytesChecked_.load(std::memory_order_relaxed); }
    void addBytesChecked(std::int64_t n) { bytesChecked_.fetch_add(n, std::memory_order_relaxed); }
    std::int64_t bytesToCheck() const { return bytesToCheck_.load(std::memory_order_relaxed); }
    void addBytesToCheck(std::int64_t n) { bytesToCheck_.fetch_add(n, std::memory_order_relaxed); }
    // What the job copied, for the checks at its end (worker only).
    CopyJournal& journal() { return *journal_; }

    // Worker side of the chunk protocol. takeGate lets a pending pause or stop request have
    // the gate first, so a request waits for at most the chunk being written.
    void takeGate();
    void giveGate();
    // Whether a pause or stop is waiting for the gate. The worker keeps the gate from one
    // chunk to the next while nobody is: giving it back wakes waiters, a system call.
    bool gateRequested() const { return gateRequests_.load(std::memory_order_relaxed) > 0; }

    // Which source the placement is working on, and whether all of it was transferred.
    // A Move removes only sources of which every part was copied.
    void setCurrentSource(std::size_t index) { currentSource_ = index; }
    std::size_t currentSource() const { return currentSource_; }
    // Records an item the job passed over in its report, and marks the current source as
    // not wholly transferred.
    void markNotTransferred(const std::string& path, NotTransferredReason reason,
                            const std::string& detail = {});
    // Marks a source as not wholly transferred without naming an item.
    void markSourceNotTransferred(std::size_t index);

    // What the job did not transfer, with reasons; read by the front ends when it ends.
    TransferReport& report() { return report_; }
    const TransferReport& report() const { return report_; }
    // Files copied completely (a Skip's accounting does not count here).
    std::int64_t transferredItems() const {
        return transferredItems_.load(std::memory_order_relaxed);
    }
    void countTransferred() { transferredItems_.fetch_add(1, std::memory_order_relaxed); }
    // Copies counted as transferred that the disk did not confirm.
    void uncountTransferred(std::int64_t n = 1) {
        transferredItems_.fetch_sub(n, std::memory_order_relaxed);
    }
    bool sourceFullyTransferred(std::size_t index) const;

    // The folders being copied, outermost first: a link that leads back into one of them
    // would copy forever. enterFolder is false for such a folder, which is not entered.
    bool enterFolder(const std::string& path);
    void leaveFolder();

    // Puts a prompt to the user on the UI thread and waits for the answer.
    PromptAnswer ask(const Prompt& prompt);
    // An error prompt: Stop cancels the job, Continue clears the flag. Returns true to go on.
    bool askToContinue(const Prompt& prompt);
    void log(const std::string& line) const { host_.log(line); }

  private:
    CopyHandler(std::vector<std::string> files, IJobHost& host);
    // UI side: takes the gate ahead of the worker.
    void takeGateForRequest(PauseSemaphore& gate);
    void openGate();
    void closeGate();
    void startHeartbeat();
    void stopHeartbeat();
    void waitForTurn(const std::string& target, bool move);

    IJobHost& host_;

    mutable std::mutex propertyLock_;
    std::vector<std::string> srcList_;
    std::unique_ptr<IProgressView> wController_;
    std::string currentTarget_;
    std::string targetPath_;
    std::string currentItem_;
    TurnHolder turnHolder_;
    std::unique_ptr<IHeartbeat> uiHeartBeat_;

    std::atomic<std::int64_t> totalItems_{0};
    std::atomic<std::int64_t> remainingItems_{0};
    std::atomic<std::int64_t> totalData_{0};
    std::atomic<std::int64_t> dataProcessed_{0};
    std::atomic<std::int64_t> uiBeatCount_{0};
    std::atomic<ConflictPolicy> dirNoPrompt_{Policy::Ask};
    std::atomic<ConflictPolicy> fileNoPrompt_{Policy::Ask};
    std::atomic<PauseSemaphore*> pauseSemaphore_{nullptr};
    std::atomic<bool> paused_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finishing_{false};
    std::atomic<bool> verify_{false};
    std::atomic<bool> checking_{false};
    std::atomic<std::int64_t> bytesChecked_{0};
    std::atomic<std::int64_t> bytesToCheck_{0};
    std::atomic<bool> keepLinks_{false};
    std::atomic<bool> takesTurns_{false};
    std::atomic<bool> waitingForTurn_{false};
    std::function<void(const TurnHolder&)> turnObserver_;
    // Lives as long as the job: "Start now" and Stop reach it from the UI thread.
    std::unique_ptr<DiskTurns> turns_ = std::make_unique<DiskTurns>();
    std::atomic<bool> moving_{false};
    std::unique_ptr<InFlightRecord> inFlight_ = std::make_unique<InFlightRecord>();
    std::unique_ptr<WritebackPacer> writeback_ = std::make_unique<WritebackPacer>();
    std::unique_ptr<CopyLedger> ledger_ = std::make_unique<CopyLedger>();
    std::unique_ptr<CopyJournal> journal_ = std::make_unique<CopyJournal>();

    // Pause and stop requests waiting for the gate; the worker yields to them.
    std::atomic<int> gateRequests_{0};
    // The driver's gate lives as long as the job, so a request racing the closing of the
    // gate never touches a destroyed semaphore.
    std::unique_ptr<PauseSemaphore> ownGate_;

    TransferReport report_;
    std::atomic<std::int64_t> transferredItems_{0};

    std::size_t currentSource_ = 0;
    std::vector<char> notTransferred_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> openFolders_;
};

}  // namespace ferrymark
