#pragma once

#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace ferrymark::test {

// Answers the prompt dialogs that come up on the UI thread as a user would: the option
// whose tag the decision names is selected and Continue clicked, or Stop for 2. Dialogs
// opened over one another are answered from the top down.
class PromptResponder {
  public:
    using Decide = std::function<std::int32_t(const QString& message)>;

    explicit PromptResponder(Decide decide);
    int answered() const { return answered_; }

  private:
    void poll();

    Decide decide_;
    QTimer timer_;
    int answered_ = 0;
};

}  // namespace ferrymark::test
