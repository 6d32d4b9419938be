#include "ui/SystemLog.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>

namespace ferrymark {
namespace {

std::mutex& sinkLock() {
    static std::mutex lock;
    return lock;
}

SystemLog::Sink& sink() {
    static SystemLog::Sink s;
    return s;
}

}  // namespace

void SystemLog::write(const std::string& line) {
    std::lock_guard guard(sinkLock());
    if (sink()) {
        sink()(line);
        return;
    }
    std::fprintf(stderr, "ferrymark: %s\n", line.c_str());
    syslog(LOG_USER | LOG_NOTICE, "%s", line.c_str());
}

void SystemLog::setSinkForTesting(Sink s) {
    std::lock_guard guard(sinkLock());
    sink() = std::move(s);
}

}  // namespace ferrymark
