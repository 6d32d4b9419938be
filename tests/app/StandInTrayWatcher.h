#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>
#include <mutex>

namespace ferrymark::testing {

// A StatusNotifierWatcher with a host registered, as a panel runs it: tray icons register
// their StatusNotifierItem here. Answers from a thread of its own.
class StandInTrayWatcher {
  public:
    StandInTrayWatcher();
    ~StandInTrayWatcher();
    StandInTrayWatcher(const StandInTrayWatcher&) = delete;
    StandInTrayWatcher& operator=(const StandInTrayWatcher&) = delete;

    bool registered() const { return registered_; }
    // The registered items as "bus-name/object-path".
    QStringList items() const;

  private:
    class Service;
    struct State {
        mutable std::mutex mutex;
        QStringList items;
    };

    QDBusConnection connection_;
    QThread thread_;
    std::shared_ptr<State> state_;
    Service* service_ = nullptr;
    bool registered_ = false;
};

}  // namespace ferrymark::testing
