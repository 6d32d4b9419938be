#include "engine/InFlightRecord.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <random>
#include <sstream>

#include "engine/FolderHandle.h"
#include "engine/StateFolder.h"
#include "engine/TreeRemoval.h"

namespace ferrymark {
namespace {

constexpr const char* kTempPrefix = ".ferrymark-";
constexpr const char* kTempSuffix = ".part";
constexpr const char* kRecordSuffix = ".inflight";
constexpr const char* kHeader = "ferrymark-inflight 2";

std::mutex noticeLock;
std::string unavailable;
bool noticeGiven = false;

void noteUnavailable(const std::string& reason) {
    std::lock_guard guard(noticeLock);
    if (unavailable.empty()) {
        unavailable = reason;
    }
}

std::string randomToken() {
    std::random_device random;
    std::ostringstream token;
    token << std::hex << random() << random();
    return token.str();
}

// Any byte of a path survives a line of the record: '%', control bytes and DEL escaped.
std::string encode(const std::string& path) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(path.size());
    for (const unsigned char c : path) {
        if (c == '%' || c < 0x21 || c == 0x7f) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool decode(const std::string& text, std::string& path) {
    path.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            path += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        int value = 0;
        for (const char c : {text[i + 1], text[i + 2]}) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                     : -1;
            if (digit < 0) {
                return false;
            }
            value = value * 16 + digit;
        }
        path += static_cast<char>(value);
        i += 2;
    }
    return true;
}

// The folder at an absolute path, every component opened without following a link.
int openWithoutLinks(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return -1;
    }
    int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t at = 1;
    while (fd >= 0 && at < path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        const int next =
            ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

// Whether name is one the record's token gives: prefix, a decimal counter, suffix.
bool givenBy(const std::string& prefix, const std::string& name) {
    const std::string suffix = kTempSuffix;
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < name.size() - suffix.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

void removeInFolder(const std::string& path, dev_t device, ino_t inode, const std::string& prefix) {
    const int fd = openWithoutLinks(path);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_dev != device || st.st_ino != inode) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;  // not the folder the job wrote to
    }
    DIR* items = ::fdopendir(::dup(fd));
    if (items) {
        while (const dirent* item = ::readdir(items)) {
            const std::string name = item->d_name;
            struct stat status {};
            if (givenBy(prefix, name) &&
                ::fstatat(fd, item->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode) || S_ISLNK(status.st_mode))) {
                removeTreeAt(fd, name, path + "/" + name);
            }
        }
        ::closedir(items);
    }
    ::close(fd);
}

// The leftovers of one record this process could lock: its owner is gone.
void cleanUpRecord(int fd) {
    FILE* in = ::fdopen(::dup(fd), "r");
    if (!in) {
        return;
    }
    std::string prefix;
    char* line = nullptr;
    std::size_t capacity = 0;
    bool first = true;
    for (ssize_t length; (length = ::getline(&line, &capacity, in)) > 0; first = false) {
        std::string text(line, static_cast<std::size_t>(length));
        if (text.back() != '\n') {
            break;  // cut short by a crash while it was written
        }
        text.pop_back();
        if (first) {
            if (text != kHeader) {
                break;
            }
            continue;
        }
        std::istringstream fields(text);
        std::string kind;
        fields >> kind;
        if (kind == "T") {
            std::string token;
            fields >> token;
            prefix = std::string(kTempPrefix) + token + ".";
        } else if (kind == "D" && !prefix.empty()) {
            unsigned long long device = 0;
            unsigned long long inode = 0;
            std::string encoded;
            std::string path;
            if (fields >> device >> inode >> encoded && decode(encoded, path)) {
                removeInFolder(path, static_cast<dev_t>(device), static_cast<ino_t>(inode), prefix);
            }
        }
    }
    std::free(line);
    std::fclose(in);
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool InFlightRecord::isTemporaryName(const std::string& name) {
    const std::string prefix = kTempPrefix;
    const std::string suffix = kTempSuffix;
    return name.size() > prefix.size() + suffix.size() &&
           name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string InFlightRecord::takeUnavailableNotice() {
    std::lock_guard guard(noticeLock);
    if (noticeGiven || unavailable.empty()) {
        return {};
    }
    noticeGiven = true;
    return "No record of unfinished copies can be kept, and none left by another run is "
           "removed: " +
           unavailable;
}

InFlightRecord::InFlightRecord() {
    const std::string token = randomToken();
    prefix_ = std::string(kTempPrefix) + token + ".";
    name_ = token + kRecordSuffix;
}

InFlightRecord::~InFlightRecord() {
    if (flusher_.joinable()) {
        flusher_.join();
    }
    if (fd_ >= 0) {
        // Removed while still locked: a clean-up never reads a record that is going.
        ::unlinkat(folderFd_, name_.c_str(), 0);
        ::close(fd_);
    }
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
}

std::string InFlightRecord::temporaryName() {
    return prefix_ + std::to_string(counter_++) + kTempSuffix;
}

bool InFlightRecord::open() {
    std::string reason;
    folderFd_ = StateFolder::open(true, reason);
    if (folderFd_ < 0) {
        noteUnavailable(reason);
        return false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        fd_ = ::openat(folderFd_, name_.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            break;
        }
        // Locked before anything is in flight. A clean-up that took the empty file in the
        // moment before removed it: then another name.
        struct stat st {};
        if (::flock(fd_, LOCK_EX) == 0 && ::fstat(fd_, &st) == 0 && st.st_nlink > 0) {
            const std::string token = prefix_.substr(std::string(kTempPrefix).size());
            // Flushed with the first folder's line.
            if (!writeAll(fd_, std::string(kHeader) + "\nT " + token.substr(0, token.size() - 1) +
                                   "\n")) {
                break;
            }
            return true;
        }
        ::close(fd_);
        fd_ = -1;
        name_ = randomToken() + kRecordSuffix;
    }
    noteUnavailable("can not write a record in " + StateFolder::path());
    if (fd_ >= 0) {
        ::unlinkat(folderFd_, name_.c_str(), 0);
        ::close(fd_);
        fd_ = -1;
    }
    return false;
}

void InFlightRecord::prepare(const std::string& path) {
    const FolderHandle folder = FolderHandle::open(path);
    if (!folder.valid() || !folders_.insert(path).second || !writeFolder(folder.fd())) {
        return;
    }
    // The flush takes milliseconds, longer while the disk is busy: it runs while the job
    // counts, and the first temporary item waits for it.
    flusher_ = std::thread([record = fd_, state = folderFd_] {
        ::fdatasync(record);
        ::fsync(state);
    });
    folderSynced_ = true;
}

void InFlightRecord::noteFolder(int fd, const std::string& path) {
    if (flusher_.joinable()) {
        flusher_.join();
    }
    if (!folders_.insert(path).second || !writeFolder(fd)) {
        return;
    }
    if (made_.count(path) == 0) {
        ::fdatasync(fd_);
        if (!folderSynced_) {
            folderSynced_ = ::fsync(folderFd_) == 0;
        }
    }
}

bool InFlightRecord::writeFolder(int fd) {
    if (fd_ < 0) {
        if (failed_ || !open()) {
            // Without a record the copy still works; only a crash's clean-up is lost.
            failed_ = true;
            return false;
        }
    }
    // The folder as the kernel knows it, not through whatever links path went.
    struct stat st {};
    char real[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), real, sizeof real);
    if (::fstat(fd, &st) != 0 || length <= 0 || length >= static_cast<ssize_t>(sizeof real)) {
        return false;
    }
    const std::string line = "D " + std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) +
                             " " + encode(std::string(real, static_cast<std::size_t>(length))) +
                             "\n";
    return writeAll(fd_, line);
}

void InFlightRecord::cleanUpLeftovers() {
    std::string reason;
    const int folder = StateFolder::open(false, reason);
    if (folder < 0) {
        if (!reason.empty()) {
            noteUnavailable(reason);
        }
        return;
    }
    DIR* dir = ::fdopendir(::dup(folder));
    if (!dir) {
        ::close(folder);
        return;
    }
    const std::string suffix = kRecordSuffix;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        // Never a link, and never a pipe that would block the open.
        const int fd = ::openat(folder, entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        struct stat there {};
        // A record a live job holds is not touched; nor is one that is not plainly ours.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folder, entry->d_name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            there.st_ino == st.st_ino && there.st_dev == st.st_dev) {
            cleanUpRecord(fd);
            ::unlinkat(folder, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
    ::fsync(folder);
    ::close(folder);
}

}  // namespace ferrymark
