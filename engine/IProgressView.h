#pragma once

namespace ferrymark {

class CopyHandler;

// What a job needs of its progress window. Every call is made on the UI thread.
class IProgressView {
  public:
    virtual ~IProgressView() = default;
    // One heartbeat tick: reads the job's counters and refreshes the window.
    virtual void updateUI(CopyHandler& job) = 0;
    virtual void bringToFront() = 0;
    virtual void stopAnimation() = 0;
    // 1 greys the bar (paused), 0 draws it as it is.
    virtual void setPausedLook(double strength) = 0;
};

}  // namespace ferrymark
