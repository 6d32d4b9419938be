#include "engine/FileMetadata.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ExtendedAttributes.h"

namespace ferrymark {
namespace {

// The access and default lists as the kernel keeps them.
constexpr const char* kAccessList = "system.posix_acl_access";
constexpr const char* kDefaultList = "system.posix_acl_default";

// Its layout: a 4-byte version, then 8-byte entries of tag, permissions and id.
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kEntrySize = 8;
constexpr std::uint16_t kTagGroupObject = 0x04;
constexpr std::uint16_t kTagMask = 0x10;

std::uint16_t le16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

// The list named, empty when the file has none. False when it can not be read.
bool readList(int fd, const char* name, std::vector<char>& list) {
    return ExtendedAttributes::read(fd, name, list);
}

void note(std::string& problems, const std::string& what) {
    problems += (problems.empty() ? "" : "; ") + what + ": " + std::strerror(errno);
}

// chown as the process may: root gives both, a user only a group of its own to its own copy.
template <typename Chown>
bool keepOwnerBy(const struct stat& source, const struct stat& copy, std::string& problems,
                 Chown chown) {
    if (copy.st_uid == source.st_uid && copy.st_gid == source.st_gid) {
        // Already the source's (the usual case): no change of the copy's inode to write.
        return true;
    }
    if (::geteuid() == 0) {
        if (chown(source.st_uid, source.st_gid) != 0) {
            // A file system without owners, or one that maps them all to one user.
            note(problems, "owner not kept");
            return false;
        }
        return true;
    }
    if (source.st_uid != ::geteuid()) {
        return false;
    }
    // Refused unless the user belongs to the group; nothing to report then.
    return chown(static_cast<uid_t>(-1), source.st_gid) == 0;
}

}  // namespace

mode_t FileMetadata::bitsWithoutList(mode_t mode, const char* list, std::size_t size) {
    if (size < kHeaderSize) {
        return mode;
    }
    mode_t group = 07;
    for (std::size_t at = kHeaderSize; at + kEntrySize <= size; at += kEntrySize) {
        const std::uint16_t tag = le16(list + at);
        if (tag == kTagGroupObject || tag == kTagMask) {
            group &= le16(list + at + 2) & 07;
        }
    }
    return (mode & ~static_cast<mode_t>(070)) | (group << 3);
}

bool FileMetadata::keepOwner(int destinationFd, const struct stat& source, std::string& problems,
                             struct stat* copyStatus) {
    struct stat copy {};
    if (::fstat(destinationFd, &copy) != 0) {
        copy = {};
        copy.st_uid = static_cast<uid_t>(-1);
    }
    if (copyStatus != nullptr) {
        *copyStatus = copy;
    }
    return keepOwnerBy(source, copy, problems,
                       [&](uid_t uid, gid_t gid) { return ::fchown(destinationFd, uid, gid); });
}

bool FileMetadata::keepLinkOwner(int folderFd, const std::string& name, const struct stat& source,
                                 std::string& problems) {
    struct stat copy {};
    if (::fstatat(folderFd, name.c_str(), &copy, AT_SYMLINK_NOFOLLOW) != 0) {
        copy.st_uid = static_cast<uid_t>(-1);
    }
    return keepOwnerBy(source, copy, problems, [&](uid_t uid, gid_t gid) {
        return ::fchownat(folderFd, name.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW);
    });
}

std::string FileMetadata::copyToLink(int folderFd, const std::string& name,
                                     const struct stat& source) {
    std::string problems;
    keepLinkOwner(folderFd, name, source, problems);
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::utimensat(folderFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        note(problems, "times not set");
    }
    return problems;
}

std::string FileMetadata::copyToFile(int sourceFd, const struct stat& source, int destinationFd,
                                     struct stat* copyStatus) {
    return copy(sourceFd, source, destinationFd, false, copyStatus);
}

std::string FileMetadata::copyToFolder(int sourceFd, const struct stat& source, int destinationFd) {
    return copy(sourceFd, source, destinationFd, true);
}

std::string FileMetadata::copy(int sourceFd, const struct stat& source, int destinationFd,
                               bool folder, struct stat* copyStatus) {
    std::string problems;
    // Before the bits: a change of owner clears set-user-id and set-group-id.
    const bool ownerKept = keepOwner(destinationFd, source, problems, copyStatus);
    mode_t bits = keptBits(source.st_mode, ownerKept);
    // The attributes' names are read once: where the file system names access lists, a
    // list not named is not asked for.
    std::vector<char> names;
    const bool listed = ExtendedAttributes::names(sourceFd, names);
    const bool complete =
        listed && ExtendedAttributes::namesShowAccessLists(sourceFd, source.st_dev);
    auto readNamed = [&](const char* name, std::vector<char>& value) {
        if (complete && !ExtendedAttributes::named(names, name)) {
            value.clear();
            return true;
        }
        return readList(sourceFd, name, value);
    };
    std::vector<char> list;
    if (!readNamed(kAccessList, list)) {
        // Unknown grants: keep the owner's bits only rather than guess wider ones.
        note(problems, "access list not read");
        bits &= 0700;
    }
    // The bits first: writing the list afterwards sets the same group bits from its mask.
    if (::fchmod(destinationFd, bits) != 0) {
        note(problems, "permissions not set");
    }
    if (!list.empty() &&
        ::fsetxattr(destinationFd, kAccessList, list.data(), list.size(), 0) != 0) {
        note(problems, "access list not kept");
        ::fchmod(destinationFd, bitsWithoutList(bits, list.data(), list.size()));
    }
    if (folder) {
        std::vector<char> defaults;
        if (!readNamed(kDefaultList, defaults)) {
            note(problems, "default access list not read");
        } else if (!defaults.empty() && ::fsetxattr(destinationFd, kDefaultList, defaults.data(),
                                                    defaults.size(), 0) != 0) {
            note(problems, "default access list not kept");
        }
    }
    // Last: every change above touches the change time only, but writing contents moved
    // the modification time.
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(destinationFd, times) != 0) {
        note(problems, "times not set");
    }
    if (const std::string more =
            ExtendedAttributes::copy(sourceFd, destinationFd, listed ? &names : nullptr);
        !more.empty()) {
        problems += (problems.empty() ? "" : "; ") + more;
    }
    return problems;
}

}  // namespace ferrymark
