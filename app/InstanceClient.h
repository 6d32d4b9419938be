#pragma once

#include <QDBusConnection>
#include <QString>
#include <chrono>

namespace ferrymark {

// Hands a Paste or Move command to the Ferrymark running in this session, starting one
// when none runs.
class InstanceClient {
  public:
    struct Outcome {
        bool delivered = false;
        QString error;  // why not, for the user
    };

    // program: what to start when no instance runs (detached, without arguments); empty
    // when none can be started here.
    static Outcome send(QDBusConnection bus, bool move, const QString& folder,
                        const QString& program,
                        std::chrono::milliseconds startTimeout = std::chrono::seconds(20));
};

}  // namespace ferrymark
