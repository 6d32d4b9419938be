#include "engine/CopyHandler.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem/path.hpp>

#include "engine/CopyConfirmation.h"
#include "engine/DiskIdentity.h"
#include "engine/TransferDriver.h"
#include "engine/TurnsFolder.h"

namespace ferrymark {

std::unique_ptr<CopyHandler> CopyHandler::initWithFiles(std::vector<std::string> files,
                                                        IJobHost& host) {
    std::unique_ptr<CopyHandler> job(new CopyHandler(std::move(files), host));
    auto view = host.makeProgressView(*job);
    if (!view) {
        return nullptr;
    }
    job->setWController(std::move(view));
    return job;
}

CopyHandler::CopyHandler(std::vector<std::string> files, IJobHost& host)
    : host_(host), srcList_(std::move(files)), notTransferred_(srcList_.size(), 0) {}

CopyHandler::~CopyHandler() {
    // The window belongs to the UI thread; the job may end on its worker.
    std::unique_ptr<IProgressView> view;
    std::unique_ptr<IHeartbeat> heartbeat;
    {
        std::lock_guard guard(propertyLock_);
        view = std::move(wController_);
        srcList_.clear();
        currentTarget_.clear();
        heartbeat = std::move(uiHeartBeat_);
    }
    if (view || heartbeat) {
        host_.runOnUiThread([&] {
            view.reset();
            if (heartbeat) {
                heartbeat->invalidate();
                heartbeat.reset();
            }
        });
    }
}

void CopyHandler::copyFilesTo(const std::string& target) {
    performCopy(target, false);
}

void CopyHandler::moveFilesTo(const std::string& target) {
    performCopy(target, true);
}

void CopyHandler::performCopy(const std::string& target, bool deleteAfter) {
    TransferDriver driver(*this, target);
    host_.log("Begin copy to \"" + target + "\"");
    InFlightRecord::cleanUpLeftovers();
    if (const std::string notice = InFlightRecord::takeUnavailableNotice(); !notice.empty()) {
        host_.log(notice);
    }
    driver.markStart();
    driver.holdTarget();
    // Keyed as placement spells the folder its items go into.
    inFlight_->prepare((boost::filesystem::path(target) / "x").parent_path().string());
    setCurrentTarget(driver.targetName());
    setDataProcessed(-1);
    openGate();
    startHeartbeat();

    driver.countSources();
    setRemainingItems(totalItems());
    setDataProcessed(0);
    if (!cancelled() && takesTurns()) {
        waitForTurn(target, deleteAfter);
    }

    if (!cancelled()) {
        driver.placeSources();
    }
    if (!cancelled() && driver.hasConflicts()) {
        host_.activateApplication();
        driver.resolveConflicts();
    } else if (cancelled()) {
        driver.recordStopped();
    }
    // The copies reach the disk before the job says it is done, and before a Move
    // removes the originals: a crash right after loses neither.
    setFinishing(true);
    // The pacer's windows are covered by the flush; its descriptors are let go.
    writeback_ = std::make_unique<WritebackPacer>();
    confirmCopies();
    setFinishing(false);
    driver.confirmCopies();
    if (!cancelled() && deleteAfter) {
        driver.removeSources();
    }
    turns_->release();
    inFlight_ = std::make_unique<InFlightRecord>();
    ledger_ = std::make_unique<CopyLedger>();
    journal_ = std::make_unique<CopyJournal>();

    stopHeartbeat();
    closeGate();
    host_.runOnUiThread([this] {
        if (auto* view = wController()) {
            view->stopAnimation();
        }
    });
    host_.deactivateApplication();
    host_.log("End copy to \"" + target + "\"");
}

void CopyHandler::waitForTurn(const std::string& target, bool move) {
    std::string reason;
    const int folder = TurnsFolder::open(reason);
    if (folder < 0) {
        if (const std::string notice = TurnsFolder::takeUnavailableNotice(reason);
            !notice.empty()) {
            log(notice);
        }
        return;
    }
    std::vector<std::string> paths = srcList();
    TurnHolder self;
    self.move = move;
    self.target = target;
    self.firstSource = paths.empty() ? std::string() : paths.front();
    self.sources = static_cast<std::int64_t>(paths.size());
    self.program = program_invocation_short_name;
    self.pid = ::getpid();
    paths.push_back(target);
    const DiskTurns::Outcome outcome =
        turns_->take(folder, DiskIdentity().disksOf(paths), self, [this](const TurnHolder& holder) {
            setTurnHolder(holder);
            setWaitingForTurn(true);
            log("Waiting for its turn on the disk, after " + holder.describe());
            if (turnObserver_) {
                turnObserver_(holder);
            }
        });
    if (!waitingForTurn()) {
        return;
    }
    setWaitingForTurn(false);
    if (outcome == DiskTurns::Outcome::StartedNow) {
        log("Started without waiting for its turn on the disk");
    } else if (outcome == DiskTurns::Outcome::Taken) {
        log("Its turn on the disk has come");
    }
}

void CopyHandler::startNow() {
    turns_->startNow();
}

void CopyHandler::togglePause() {
    PauseSemaphore* gate = pause_semaphore();
    // A job that is winding down keeps its state: a resume after a stop would hand the
    // gate back a second time.
    if (!gate || cancelled()) {
        return;
    }
    if (paused()) {
        gate->release();
        setPaused(false);
        if (auto* view = wController()) {
            view->setPausedLook(0);
        }
    } else {
        takeGateForRequest(*gate);
        setPaused(true);
        if (auto* view = wController()) {
            view->setPausedLook(1);
        }
    }
}

void CopyHandler::cancelTask() {
    PauseSemaphore* gate = pause_semaphore();
    if (!gate) {
        setCancelled(true);
        turns_->stop();
        return;
    }
    // A second stop finds the flag set and changes nothing; giving the gate back twice
    // would let two holders in.
    if (cancelled()) {
        return;
    }
    if (!paused()) {
        takeGateForRequest(*gate);
    }
    setCancelled(true);
    gate->release();
    // A job waiting for its turn holds no gate: the wait itself must end.
    turns_->stop();
}

void CopyHandler::updateUI() {
    if (auto* view = wController()) {
        view->updateUI(*this);
    }
}

void CopyHandler::bringToFront() {
    if (auto* view = wController()) {
        view->bringToFront();
    }
}

void CopyHandler::takeGate() {
    PauseSemaphore* gate = pause_semaphore();
    if (!gate) {
        return;
    }
    // A semaphore lets the thread that just gave it back take it again before a waiting
    // pauser wakes; yielding to pending requests bounds their wait to one chunk.
    for (int pending = gateRequests_.load(); pending > 0; pending = gateRequests_.load()) {
        gateRequests_.wait(pending);
    }
    gate->acquire();
}

void CopyHandler::giveGate() {
    if (PauseSemaphore* gate = pause_semaphore()) {
        gate->release();
    }
}

void CopyHandler::takeGateForRequest(PauseSemaphore& gate) {
    gateRequests_.fetch_add(1);
    gate.acquire();
    gateRequests_.fetch_sub(1);
    gateRequests_.notify_all();
}

void CopyHandler::openGate() {
    ownGate_ = std::make_unique<PauseSemaphore>(1);
    setPause_semaphore(ownGate_.get());
}

void CopyHandler::closeGate() {
    PauseSemaphore* gate = pause_semaphore();
    if (!gate) {
        return;
    }
    // A job paused at its very end waits here until it is resumed or stopped.
    takeGate();
    setPause_semaphore(nullptr);
    gate->release();
    // ownGate_ stays until the job goes: a request that read the pointer just before it
    // was cleared still finds a live semaphore.
}

void CopyHandler::startHeartbeat() {
    host_.runOnUiThread([this] {
        setUiBeatCount(-1);
        setUiHeartBeat(host_.startHeartbeat([this] { updateUI(); }));
    });
}

void CopyHandler::stopHeartbeat() {
    host_.runOnUiThread([this] {
        if (auto* heartbeat = uiHeartBeat()) {
            heartbeat->invalidate();
        }
        setUiHeartBeat(nullptr);
    });
}

void CopyHandler::markNotTransferred(const std::string& path, NotTransferredReason reason,
                                     const std::string& detail) {
    report_.add(path, reason, detail);
    if (currentSource_ < notTransferred_.size()) {
        notTransferred_[currentSource_] = 1;
    }
}

void CopyHandler::markSourceNotTransferred(std::size_t index) {
    if (index < notTransferred_.size()) {
        notTransferred_[index] = 1;
    }
}

void CopyHandler::confirmCopies() {
    CopyConfirmation::confirm(*this);
}

bool CopyHandler::sourceFullyTransferred(std::size_t index) const {
    return index < notTransferred_.size() && notTransferred_[index] == 0;
}

bool CopyHandler::enterFolder(const std::string& path) {
    struct stat st {};
    std::pair<std::uint64_t, std::uint64_t> id{0, 0};
    if (::stat(path.c_str(), &st) == 0) {
        id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        for (const auto& open : openFolders_) {
            if (open == id) {
                return false;
            }
        }
    }
    openFolders_.push_back(id);
    return true;
}

void CopyHandler::leaveFolder() {
    if (!openFolders_.empty()) {
        openFolders_.pop_back();
    }
}

PromptAnswer CopyHandler::ask(const Prompt& prompt) {
    PromptAnswer answer;
    host_.runOnUiThread([&] { answer = host_.showPrompt(prompt); });
    return answer;
}

bool CopyHandler::askToContinue(const Prompt& prompt) {
    // Continue leaves the flag alone: a stop the user pressed while this prompt was on its
    // way stays in force.
    host_.runOnUiThread([&] {
        if (host_.showPrompt(prompt).code == kAnswerStop) {
            setCancelled(true);
        }
    });
    return !cancelled();
}

std::vector<std::string> CopyHandler::srcList() const {
    std::lock_guard guard(propertyLock_);
    return srcList_;
}

void CopyHandler::setSrcList(std::vector<std::string> list) {
    std::lock_guard guard(propertyLock_);
    srcList_ = std::move(list);
    notTransferred_.assign(srcList_.size(), 0);
}

IProgressView* CopyHandler::wController() const {
    std::lock_guard guard(propertyLock_);
    return wController_.get();
}

void CopyHandler::setWController(std::unique_ptr<IProgressView> controller) {
    std::unique_ptr<IProgressView> old;
    std::lock_guard guard(propertyLock_);
    old = std::exchange(wController_, std::move(controller));
}

std::string CopyHandler::currentTarget() const {
    std::lock_guard guard(propertyLock_);
    return currentTarget_;
}

void CopyHandler::setCurrentTarget(std::string target) {
    std::lock_guard guard(propertyLock_);
    currentTarget_ = std::move(target);
}

std::string CopyHandler::targetPath() const {
    std::lock_guard guard(propertyLock_);
    return targetPath_;
}

void CopyHandler::setTargetPath(std::string path) {
    std::lock_guard guard(propertyLock_);
    targetPath_ = std::move(path);
}

std::string CopyHandler::currentItem() const {
    std::lock_guard guard(propertyLock_);
    return currentItem_;
}

void CopyHandler::setCurrentItem(std::string path) {
    std::lock_guard guard(propertyLock_);
    currentItem_ = std::move(path);
}

TurnHolder CopyHandler::turnHolder() const {
    std::lock_guard guard(propertyLock_);
    return turnHolder_;
}

void CopyHandler::setTurnHolder(TurnHolder holder) {
    std::lock_guard guard(propertyLock_);
    turnHolder_ = std::move(holder);
}

IHeartbeat* CopyHandler::uiHeartBeat() const {
    std::lock_guard guard(propertyLock_);
    return uiHeartBeat_.get();
}

void CopyHandler::setUiHeartBeat(std::unique_ptr<IHeartbeat> heartbeat) {
    std::unique_ptr<IHeartbeat> old;
    std::lock_guard guard(propertyLock_);
    old = std::exchange(uiHeartBeat_, std::move(heartbeat));
}

}  // namespace ferrymark
