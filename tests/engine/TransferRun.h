#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/CopyHandler.h"
#include "tools/HeadlessHost.h"

namespace ferrymark::test {

// One job run to its end on a worker of its own, as the application runs it.
class TransferRun {
  public:
    explicit TransferRun(HeadlessHost::Threading threading = HeadlessHost::Threading::UiThread)
        : host(threading) {}

    HeadlessHost host;
    std::unique_ptr<CopyHandler> job;

    CopyHandler& prepare(const std::vector<std::string>& sources) {
        job = CopyHandler::initWithFiles(sources, host);
        return *job;
    }
    void run(const std::string& target, bool move = false) {
        std::thread worker([&] { move ? job->moveFilesTo(target) : job->copyFilesTo(target); });
        worker.join();
    }
    void run(const std::vector<std::string>& sources, const std::string& target,
             bool move = false) {
        prepare(sources);
        run(target, move);
    }
    std::vector<std::string> promptMessages() const {
        std::vector<std::string> out;
        for (const auto& p : host.prompts()) {
            out.push_back(p.message);
        }
        return out;
    }
    bool logged(const std::string& part) const {
        for (const auto& line : host.logLines()) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace ferrymark::test
