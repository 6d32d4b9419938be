#include "FakeDisk.h"

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "ToolRun.h"

namespace ferrymark::test {
namespace {

constexpr int kSkip = 77;

std::string script() {
    return FERRYMARK_FAKE_DISK;
}

std::string faultName(FakeDisk::Fault fault) {
    switch (fault) {
        case FakeDisk::Fault::Error:
            return "error";
        case FakeDisk::Fault::Lie:
            return "lie";
        case FakeDisk::Fault::None:
            break;
    }
    return "none";
}

}  // namespace

FakeDisk::FakeDisk(const Options& options) {
    char dir[] = "/tmp/fake-disk-XXXXXX";
    if (!::mkdtemp(dir)) {
        throw std::runtime_error("mkdtemp failed");
    }
    state_ = dir;
    std::vector<std::string> args{"start",      state_,    "--size",
                                  options.size, "--fault", faultName(options.fault)};
    if (!options.rate.empty()) {
        args.insert(args.end(), {"--rate", options.rate});
    }
    if (!options.mountOptions.empty()) {
        args.insert(args.end(), {"--mount-options", options.mountOptions});
    }
    const ToolRun run = ToolRun::run(script(), args);
    if (run.exitCode == 0) {
        mountPoint_ = run.out.substr(0, run.out.find('\n'));
        return;
    }
    skipped_ = run.exitCode == kSkip;
    problem_ = run.err.empty() ? run.summary() : run.err;
}

FakeDisk::~FakeDisk() {
    ToolRun::run(script(), {"stop", state_});
    ::rmdir((state_ + "/mnt").c_str());
    ::rmdir((state_ + "/fuse").c_str());
    ToolRun::run("/bin/rm", {"-rf", "--one-file-system", state_});
}

void FakeDisk::command(const std::string& name) {
    const ToolRun run = ToolRun::run(script(), {name, state_});
    if (run.exitCode != 0) {
        throw std::runtime_error("fake-disk.sh " + name + ": " + run.summary());
    }
}

}  // namespace ferrymark::test
