#pragma once

#include <QByteArray>
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

    // folder: a path's bytes or a URI; empty for the window in front. One that is not valid
    // UTF-8, which a D-Bus string cannot carry, goes as bytes. program: what to start when
    // no instance runs (detached, without arguments); empty when none can be started here.
    static Outcome send(QDBusConnection bus, bool move, const QByteArray& folder,
                        const QString& program,
                        std::chrono::milliseconds startTimeout = std::chrono::seconds(20));
};

}  // namespace ferrymark
