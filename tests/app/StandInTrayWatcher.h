#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

#include "StandInBus.h"

namespace ferrymark::testing {

// A StatusNotifierWatcher with a host registered, as a panel runs it: tray icons register
// their StatusNotifierItem here. Answers from a thread of its own.
class StandInTrayWatcher {
  public:
    StandInTrayWatcher();
    ~StandInTrayWatcher();
    StandInTrayWatcher(const StandInTrayWatcher&) = delete;
    StandInTrayWatcher& operator=(const StandInTrayWatcher&) = delete;

    bool registered() const { return bus_->registered(); }
    // The registered items as "bus-name/object-path".
    QStringList items() const;

  private:
    class Service;
    struct State {
        mutable std::mutex mutex;
        QStringList items;
    };

    std::shared_ptr<State> state_;
    std::unique_ptr<StandInBus> bus_;
};

}  // namespace ferrymark::testing
