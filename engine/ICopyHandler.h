#pragma once

namespace ferrymark {

// What a progress window needs of its job: its two buttons.
class ICopyHandler {
  public:
    virtual void togglePause() = 0;
    virtual void cancelTask() = 0;

  protected:
    ~ICopyHandler() = default;
};

}  // namespace ferrymark
