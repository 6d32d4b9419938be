#include "FakeDisk.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
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

bool FakeDisk::deviceHolds(const std::string& bytes) const {
    const ToolRun run = ToolRun::run("/bin/cat", {state_ + "/loop"});
    const std::string device = run.out.substr(0, run.out.find('\n'));
    const int fd = ::open(device.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("can not open " + device);
    }
    constexpr std::size_t kBlock = 1 << 20;
    void* aligned = nullptr;
    ::posix_memalign(&aligned, 4096, kBlock);
    const std::unique_ptr<void, decltype(&::free)> buffer(aligned, &::free);
    // Chunks overlap by the length sought, so that bytes across a boundary are found.
    std::string window;
    bool found = false;
    for (ssize_t n; !found && (n = ::read(fd, aligned, kBlock)) > 0;) {
        window.append(static_cast<const char*>(aligned), std::size_t(n));
        found = window.find(bytes) != std::string::npos;
        window.erase(0, window.size() > bytes.size() ? window.size() - bytes.size() : 0);
    }
    ::close(fd);
    return found;
}

void FakeDisk::command(const std::string& name) {
    const ToolRun run = ToolRun::run(script(), {name, state_});
    if (run.exitCode != 0) {
        throw std::runtime_error("fake-disk.sh " + name + ": " + run.summary());
    }
}

}  // namespace ferrymark::test
