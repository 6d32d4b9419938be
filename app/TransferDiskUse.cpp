#include "app/TransferDiskUse.h"

#include <sys/stat.h>

#include <optional>
#include <string>

#include "engine/CopyHandler.h"

namespace ferrymark {
namespace {

// The device a path lies on; a source a Move has already taken away, by its folder.
std::optional<quint64> deviceOf(std::string path) {
    while (!path.empty()) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            return static_cast<quint64>(st.st_dev);
        }
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos) {
            break;
        }
        path.resize(slash == 0 ? 1 : slash);
        if (path == "/") {
            break;
        }
    }
    return std::nullopt;
}

}  // namespace

QString TransferDiskUse::usedBy(const DriveFacts& disk) {
    for (const auto& job : jobs_()) {
        std::vector<std::string> paths = job->srcList();
        paths.push_back(job->targetPath());
        for (const std::string& path : paths) {
            const auto device = deviceOf(path);
            if (device && disk.devices.contains(*device)) {
                return tr("The transfer to “%1” still uses it.")
                    .arg(QString::fromStdString(job->currentTarget()));
            }
        }
    }
    return {};
}

}  // namespace ferrymark
