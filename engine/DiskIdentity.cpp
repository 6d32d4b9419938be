#include "engine/DiskIdentity.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace ferrymark {
namespace {

// The file systems whose data lies on another machine.
constexpr std::array<const char*, 12> kNetworkTypes = {
    "nfs",  "nfs4",      "cifs",           "smb3",       "smbfs", "ncpfs",
    "ceph", "glusterfs", "fuse.glusterfs", "fuse.sshfs", "afs",   "davfs",
};

bool networkType(const std::string& type) {
    return std::find(kNetworkTypes.begin(), kNetworkTypes.end(), type) != kNetworkTypes.end();
}

std::string ownKey(dev_t dev) {
    return "dev-" + std::to_string(major(dev)) + "-" + std::to_string(minor(dev));
}

// The mount table writes space, tab, newline and backslash as \ and three octal digits.
std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

DiskIdentity::DiskIdentity(std::string sysRoot, std::string mountInfo)
    : sysRoot_(std::move(sysRoot)), mountInfo_(std::move(mountInfo)) {}

std::vector<std::string> DiskIdentity::disksOf(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const auto& path : paths) {
        struct stat st {};
        // A link as a source: what it points to is read, else the link itself.
        if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) {
            continue;
        }
        for (auto& key : disksOfDevice(st.st_dev)) {
            out.push_back(std::move(key));
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<std::string> DiskIdentity::disksOfDevice(dev_t dev) {
    if (auto it = known_.find(dev); it != known_.end()) {
        return it->second;
    }
    std::vector<std::string> keys;
    if (major(dev) != 0) {
        std::error_code ec;
        const fs::path folder =
            fs::canonical(fs::path(sysRoot_) / "dev" / "block" /
                              (std::to_string(major(dev)) + ":" + std::to_string(minor(dev))),
                          ec);
        if (!ec) {
            wholeDisks(folder.string(), 0, keys);
        }
    } else if (const Mount* mount = mountOf(dev)) {
        if (networkType(mount->type)) {
            if (const std::string server = serverOf(mount->source); !server.empty()) {
                keys.push_back("net-" + escaped(server));
            }
        } else if (mount->source.starts_with("/dev/")) {
            // btrfs and others give their files an anonymous device number; the mount's
            // source is the block device they lie on.
            struct stat st {};
            if (::stat(mount->source.c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
                major(st.st_rdev) != 0) {
                keys = disksOfDevice(st.st_rdev);
            }
        }
    }
    if (keys.empty()) {
        keys.push_back(ownKey(dev));
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    known_[dev] = keys;
    return keys;
}

void DiskIdentity::wholeDisks(const std::string& deviceFolder, int depth,
                              std::vector<std::string>& out) {
    // Stacks of device-mapper and md devices are shallow; a loop in a broken sysfs is not
    // followed for ever.
    if (depth > 8) {
        return;
    }
    std::error_code ec;
    const fs::path folder(deviceFolder);
    if (fs::exists(folder / "partition", ec)) {
        wholeDisks(folder.parent_path().string(), depth + 1, out);
        return;
    }
    bool slaves = false;
    for (fs::directory_iterator it(folder / "slaves", ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path slave = fs::canonical(it->path(), ec);
        if (!ec) {
            slaves = true;
            wholeDisks(slave.string(), depth + 1, out);
        }
        ec.clear();
    }
    if (!slaves) {
        out.push_back("disk-" + escaped(folder.filename().string()));
    }
}

const DiskIdentity::Mount* DiskIdentity::mountOf(dev_t dev) {
    if (!mountsRead_) {
        mountsRead_ = true;
        std::ifstream in(mountInfo_);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::vector<std::string> parts;
            for (std::string part; fields >> part;) {
                parts.push_back(part);
            }
            const auto dash = std::find(parts.begin(), parts.end(), "-");
            if (parts.size() < 3 || dash == parts.end() || parts.end() - dash < 3) {
                continue;
            }
            unsigned maj = 0;
            unsigned min = 0;
            if (std::sscanf(parts[2].c_str(), "%u:%u", &maj, &min) != 2) {
                continue;
            }
            // The first mount of a file system stands for its bind mounts.
            mounts_.emplace(makedev(maj, min), Mount{dash[1], unescapeMountField(dash[2])});
        }
    }
    const auto it = mounts_.find(dev);
    return it == mounts_.end() ? nullptr : &it->second;
}

std::string DiskIdentity::serverOf(const std::string& source) {
    std::string s = source;
    if (const auto scheme = s.find("://"); scheme != std::string::npos) {
        s = s.substr(scheme + 3);
    } else if (s.starts_with("//")) {
        s = s.substr(2);
    }
    const auto at = s.find('@');
    const auto colon = s.find(':');
    const auto slash = s.find('/');
    if (at != std::string::npos && (colon == std::string::npos || at < colon) &&
        (slash == std::string::npos || at < slash)) {
        s = s.substr(at + 1);
    }
    if (s.starts_with("[")) {
        const auto close = s.find(']');
        s = close == std::string::npos ? std::string() : s.substr(1, close - 1);
    } else {
        s = s.substr(0, std::min(s.find(':'), s.find('/')));
    }
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

std::string DiskIdentity::escaped(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        // ASCII alone, whatever the locale says of other bytes.
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace ferrymark
