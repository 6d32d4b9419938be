#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "engine/IProgressView.h"
#include "ui/TransferRate.h"

class QGraphicsColorizeEffect;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace Ui {
class CutCopyWindow;
}

namespace ferrymark {

class ICopyHandler;

// A job's progress window. The window is made on first access, on the UI thread; the
// controller itself may be made and destroyed on any thread.
class CutCopyWController final : public IProgressView {
  public:
    // The bar's range once it is determinate; the job's fraction 0..1 is mapped onto it.
    static constexpr int kBarMaximum = 10000;

    CutCopyWController();
    explicit CutCopyWController(ICopyHandler* copyHandler);
    ~CutCopyWController() override;
    CutCopyWController(const CutCopyWController&) = delete;
    CutCopyWController& operator=(const CutCopyWController&) = delete;

    ICopyHandler* copyHandler() const;

    // The window, loaded on first access.
    QWidget* window();
    bool isWindowLoaded() const { return window_ != nullptr; }

    // The buttons' actions.
    void pauseAction();
    void stopAction();
    void startNowAction();

    void updateUI(CopyHandler& job) override;
    void bringToFront() override;
    void stopAnimation() override;
    void setPausedLook(double strength) override;

    // Null until the window has been loaded.
    QLabel* lbProcessDesc() const;
    QLabel* lbDataProgressDesc() const;
    QLabel* lbTimeProgressDesc() const;
    QProgressBar* pbTotalProcess() const;
    QPushButton* btPauseResume() const;
    QPushButton* btStopProcess() const;
    QToolButton* btExpandContractView() const;
    QLabel* lbCurrentItem() const;
    QLabel* lbSpeed() const;
    // What a job waiting for its turn on a disk waits for, and the button that skips the wait;
    // hidden while the job does not wait.
    QLabel* lbWaitingFor() const;
    QPushButton* btStartNow() const;

  private:
    // The buttons reach the job through this link; the controller cuts it when it goes,
    // so a click racing the job's end never calls into a destroyed job.
    struct HandlerLink {
        std::mutex lock;
        ICopyHandler* handler = nullptr;
    };

    void loadWindow();
    void tick(CopyHandler& job);
    void showPauseTitle(bool paused);
    // The file being copied and the current speed, under the counters.
    void showDetails(const CopyHandler& job);
    // The read-back of the copies: bytes checked of bytes to check, and the time left.
    void showChecking(const CopyHandler& job);
    // The job waits for another transfer to end: what that is, and "Start now".
    void showWaiting(const CopyHandler& job);
    void hideWaiting();
    static void callHandler(HandlerLink& link, void (ICopyHandler::*action)());

    std::shared_ptr<HandlerLink> link_;
    std::unique_ptr<Ui::CutCopyWindow> ui_;
    QWidget* window_ = nullptr;
    QGraphicsColorizeEffect* pausedLook_ = nullptr;  // owned by the bar
    TransferRate rate_;
    // The beat and the bytes checked when the checking phase was first shown.
    std::optional<std::pair<std::int64_t, std::int64_t>> checkStart_;
};

}  // namespace ferrymark
