#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

#include "StandInBus.h"

namespace ferrymark::testing {

// Publishes org.freedesktop.FileManager1's OpenWindowsWithLocations on the session bus
// under a unique name of its own, as Nautilus does. It answers from a thread of its own,
// so a blocking call from the UI thread gets its reply.
class StandInNautilus {
  public:
    using Locations = QMap<QString, QStringList>;

    StandInNautilus();
    ~StandInNautilus();
    StandInNautilus(const StandInNautilus&) = delete;
    StandInNautilus& operator=(const StandInNautilus&) = delete;

    bool registered() const { return bus_->registered(); }
    // The unique bus name to put in a window's _GTK_UNIQUE_BUS_NAME.
    QString busName() const { return bus_->connection().baseService(); }

    void setLocations(Locations locations);

    // How many times the locations were asked for.
    int calls() const;

  private:
    class Service;
    struct State {
        mutable std::mutex mutex;
        Locations locations;
        int calls = 0;
    };

    std::shared_ptr<State> state_;
    std::unique_ptr<StandInBus> bus_;
};

}  // namespace ferrymark::testing
