#pragma once

namespace ferrymark {

// What a progress window needs of its job: its buttons.
class ICopyHandler {
  public:
    virtual void togglePause() = 0;
    virtual void cancelTask() = 0;
    // Shown only while the job waits for its turn on a disk.
    virtual void startNow() = 0;

  protected:
    ~ICopyHandler() = default;
};

}  // namespace ferrymark
