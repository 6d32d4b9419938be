#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/LauncherEntry.h"

namespace ferrymark {

class CopyHandler;
class PlasmaJobView;

// The running transfers where the desktop itself shows progress: each in Plasma's list of
// file transfers, and all together on Ferrymark's icon in docks. Where the desktop has
// neither, nothing changes. UI thread only.
class DesktopProgress : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kInterval{1000};
    // A job joins Plasma's list once it has run this long, as its own window comes up:
    // a quick one would only flash there.
    static constexpr std::chrono::milliseconds kViewDelay{1000};

    // log: told once when no job view service is there.
    DesktopProgress(QDBusConnection bus, std::function<void(const std::string&)> log,
                    QObject* parent = nullptr);
    ~DesktopProgress() override;

    void add(const std::shared_ptr<CopyHandler>& job);
    void remove(const CopyHandler* job);

    // The job's view in Plasma's list, while it has one.
    PlasmaJobView* viewOf(const CopyHandler* job) const;

  private:
    void tick();

    QDBusConnection bus_;
    std::function<void(const std::string&)> log_;
    LauncherEntry launcher_;
    QTimer timer_;
    struct Entry {
        std::shared_ptr<CopyHandler> job;
        std::chrono::steady_clock::time_point added;
        bool viewAsked = false;
        QPointer<PlasmaJobView> view;
    };
    std::map<const CopyHandler*, Entry> jobs_;
    bool toldNoService_ = false;
};

}  // namespace ferrymark
