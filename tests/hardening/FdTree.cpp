#include "FdTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace ferrymark::test {
namespace {

std::runtime_error failure(const std::string& what, const std::string& name) {
    return std::runtime_error(what + " " + FdTree::escaped(name) + ": " + std::strerror(errno));
}

std::string readAll(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return out;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> names(int folderFd) {
    const int copy = ::dup(folderFd);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (dir == nullptr) {
        throw failure("can not list", "");
    }
    std::vector<std::string> out;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            out.push_back(name);
        }
    }
    ::closedir(dir);
    return out;
}

void collect(int folderFd, const std::string& prefix, bool contents, FdTree::Snapshot& out) {
    for (const auto& name : names(folderFd)) {
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            throw failure("can not examine", relative);
        }
        FdTree::Entry entry;
        if (S_ISDIR(st.st_mode)) {
            entry.kind = FdTree::Entry::Kind::Folder;
            const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (fd < 0) {
                throw failure("can not open", relative);
            }
            out[relative] = entry;
            collect(fd, relative, contents, out);
            ::close(fd);
            continue;
        }
        if (S_ISREG(st.st_mode) && !contents) {
            entry.kind = FdTree::Entry::Kind::File;
        } else if (S_ISREG(st.st_mode)) {
            entry.kind = FdTree::Entry::Kind::File;
            const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW);
            if (fd < 0) {
                throw failure("can not open", relative);
            }
            entry.content = readAll(fd);
            ::close(fd);
        } else if (S_ISLNK(st.st_mode)) {
            entry.kind = FdTree::Entry::Kind::Link;
            char target[4096];
            const ssize_t n = ::readlinkat(folderFd, name.c_str(), target, sizeof target);
            entry.content.assign(target, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        out[relative] = entry;
    }
}

void removeBelow(int folderFd) {
    for (const auto& name : names(folderFd)) {
        if (::unlinkat(folderFd, name.c_str(), 0) == 0) {
            continue;
        }
        const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (fd < 0) {
            continue;
        }
        ::fchmod(fd, 0700);
        removeBelow(fd);
        ::close(fd);
        ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR);
    }
}

}  // namespace

FdTree::Snapshot FdTree::snapshot(const std::string& folder, bool contents) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        throw failure("can not open", folder);
    }
    Snapshot out = snapshotAt(fd, contents);
    ::close(fd);
    return out;
}

FdTree::Snapshot FdTree::snapshotAt(int folderFd, bool contents) {
    Snapshot out;
    collect(folderFd, "", contents, out);
    return out;
}

int FdTree::makeFolderAt(int folderFd, const std::string& name) {
    if (::mkdirat(folderFd, name.c_str(), 0755) != 0) {
        throw failure("can not make", name);
    }
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) {
        throw failure("can not open", name);
    }
    return fd;
}

void FdTree::writeAt(int folderFd, const std::string& name, const std::string& content) {
    const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        throw failure("can not make", name);
    }
    const bool whole =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    if (!whole) {
        throw failure("can not write", name);
    }
}

void FdTree::removeAll(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) {
        return;
    }
    removeBelow(fd);
    ::close(fd);
    ::rmdir(folder.c_str());
}

std::string FdTree::makeScratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fm-hardening-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw failure("can not make", pattern);
    }
    return pattern;
}

FdTree::Snapshot FdTree::below(const Snapshot& snapshot, const std::string& prefix) {
    Snapshot out;
    const std::string lead = prefix + "/";
    for (const auto& [path, entry] : snapshot) {
        if (path.compare(0, lead.size(), lead) == 0) {
            out[path.substr(lead.size())] = entry;
        }
    }
    return out;
}

std::vector<std::string> FdTree::differences(const Snapshot& want, const Snapshot& got) {
    std::vector<std::string> out;
    for (const auto& [path, entry] : want) {
        const auto it = got.find(path);
        if (it == got.end()) {
            out.push_back("missing " + escaped(path));
        } else if (!(it->second == entry)) {
            out.push_back("differs " + escaped(path));
        }
    }
    for (const auto& [path, entry] : got) {
        if (!want.count(path)) {
            out.push_back("unexpected " + escaped(path));
        }
    }
    return out;
}

std::string FdTree::escaped(const std::string& bytes) {
    std::string out = "\"";
    // Long names are cut in the middle: a report of a 4000-byte path is no help.
    const std::size_t keep = 120;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.size() > 2 * keep && i == keep) {
            out += "...";
            i = bytes.size() - keep;
        }
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "\"";
}

}  // namespace ferrymark::test
