#include "app/DesktopProgress.h"

#include "app/PlasmaJobView.h"
#include "engine/CopyHandler.h"

namespace ferrymark {

DesktopProgress::DesktopProgress(QDBusConnection bus, std::function<void(const std::string&)> log,
                                 QObject* parent)
    : QObject(parent), bus_(std::move(bus)), log_(std::move(log)), launcher_(bus_) {
    timer_.setInterval(kInterval);
    connect(&timer_, &QTimer::timeout, this, &DesktopProgress::tick);
}

DesktopProgress::~DesktopProgress() {
    for (auto& [job, entry] : jobs_) {
        if (entry.view) {
            entry.view->terminate();
        }
    }
}

void DesktopProgress::add(const std::shared_ptr<CopyHandler>& job) {
    Entry entry;
    entry.job = job;
    entry.added = std::chrono::steady_clock::now();
    jobs_.insert_or_assign(job.get(), std::move(entry));
    if (!timer_.isActive()) {
        timer_.start();
    }
    tick();
}

void DesktopProgress::remove(const CopyHandler* job) {
    const auto it = jobs_.find(job);
    if (it == jobs_.end()) {
        return;
    }
    if (it->second.view) {
        it->second.view->terminate();
    }
    jobs_.erase(it);
    if (jobs_.empty()) {
        timer_.stop();
        launcher_.show(std::nullopt);
        return;
    }
    tick();
}

PlasmaJobView* DesktopProgress::viewOf(const CopyHandler* job) const {
    const auto it = jobs_.find(job);
    return it == jobs_.end() ? nullptr : it->second.view.data();
}

void DesktopProgress::tick() {
    const auto now = std::chrono::steady_clock::now();
    // Bytes of the jobs that have counted theirs; a job still counting adds nothing yet.
    std::int64_t done = 0;
    std::int64_t total = 0;
    for (auto& [raw, entry] : jobs_) {
        if (!entry.viewAsked && now - entry.added >= kViewDelay) {
            entry.viewAsked = true;
            const QString service = PlasmaJobView::serviceOn(bus_);
            if (!service.isEmpty()) {
                entry.view = new PlasmaJobView(bus_, service, entry.job, this);
            } else if (!toldNoService_ && log_) {
                toldNoService_ = true;
                log_(
                    "No job view service on the session bus: transfers show in Ferrymark's "
                    "windows only");
            }
        }
        if (entry.view) {
            entry.view->update();
        }
        const std::int64_t processed = entry.job->dataProcessed();
        if (processed >= 0) {
            done += processed;
            total += entry.job->totalData();
        }
    }
    launcher_.show(total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0.0);
}

}  // namespace ferrymark
