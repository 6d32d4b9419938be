#include "engine/DiskTurns.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace ferrymark {
namespace {

// A lock let go without a close (a job that backed off, holding none while it waits) wakes
// nobody: the waiters look again this often.
constexpr int kLookAgainMs = 1000;

std::string readNote(int fd) {
    std::string text(4096, '\0');
    const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

void writeNote(int fd, const std::string& text) {
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, text.data(), text.size(), 0);
    }
}

}  // namespace

DiskTurns::DiskTurns() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

DiskTurns::~DiskTurns() {
    release();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

DiskTurns::Outcome DiskTurns::take(int folder, std::vector<std::string> disks,
                                   const TurnHolder& self, const WaitObserver& waiting) {
    release();
    folder_ = folder;
    std::sort(disks.begin(), disks.end());
    disks.erase(std::unique(disks.begin(), disks.end()), disks.end());
    for (const auto& disk : disks) {
        const int fd = ::openat(folder_, disk.c_str(),
                                O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            locks_.push_back(fd);
        } else if (fd >= 0) {
            ::close(fd);
        }
    }

    // A holder's end closes its lock files, and a new holder writes its note: both wake
    // the waiters.
    const int changes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (changes >= 0) {
        const std::string path = "/proc/self/fd/" + std::to_string(folder_);
        ::inotify_add_watch(changes, path.c_str(), IN_CLOSE_WRITE | IN_MODIFY);
    }
    TurnHolder told;
    bool toldAny = false;
    Outcome outcome = Outcome::Taken;
    for (;;) {
        if (stop_.load()) {
            outcome = Outcome::Stopped;
            break;
        }
        if (startNow_.load()) {
            outcome = Outcome::StartedNow;
            break;
        }
        std::size_t held = 0;
        while (held < locks_.size() && ::flock(locks_[held], LOCK_EX | LOCK_NB) == 0) {
            ++held;
        }
        if (held == locks_.size()) {
            break;
        }
        if (errno == EINTR) {
            unlockAll();
            continue;
        }
        if (errno != EWOULDBLOCK) {
            // A file system without locks here: this disk takes no turns.
            ::close(locks_[held]);
            locks_.erase(locks_.begin() + static_cast<std::ptrdiff_t>(held));
            unlockAll();
            continue;
        }
        unlockAll();
        const TurnHolder holder = TurnHolder::parse(readNote(locks_[held]));
        if (!toldAny || !(holder == told)) {
            toldAny = true;
            told = holder;
            if (waiting) {
                waiting(holder);
            }
        }
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {changes, POLLIN, 0}};
        if (::poll(fds, changes >= 0 ? 2 : 1, kLookAgainMs) > 0 && (fds[1].revents & POLLIN)) {
            char events[4096];
            while (::read(changes, events, sizeof events) > 0) {
            }
        }
    }
    if (changes >= 0) {
        ::close(changes);
    }
    if (outcome != Outcome::Taken) {
        release();
        return outcome;
    }
    const std::string note = self.text();
    for (const int fd : locks_) {
        writeNote(fd, note);
    }
    return outcome;
}

void DiskTurns::unlockAll() {
    for (const int fd : locks_) {
        ::flock(fd, LOCK_UN);
    }
}

void DiskTurns::release() {
    // Closing, not only unlocking: the close is what wakes the waiters at once.
    for (const int fd : locks_) {
        ::close(fd);
    }
    locks_.clear();
    if (folder_ >= 0) {
        ::close(folder_);
        folder_ = -1;
    }
}

void DiskTurns::startNow() {
    startNow_.store(true);
    wake();
}

void DiskTurns::stop() {
    stop_.store(true);
    wake();
}

void DiskTurns::wake() {
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

}  // namespace ferrymark
