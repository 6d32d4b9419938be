#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace ferrymark {

// Which physical disks a path lies on, each as a key fit for a file name. Every partition
// of one disk is that disk ("disk-sda"); a device-mapper or md device is the disks under it;
// a network file system is its server ("net-fileserver"); a file system without a block
// device (tmpfs) is itself ("dev-0-45"). Transfers that share a key take turns.
class DiskIdentity {
  public:
    // The roots are where sysfs and the mount table are read: tests give fakes.
    explicit DiskIdentity(std::string sysRoot = "/sys",
                          std::string mountInfo = "/proc/self/mountinfo");

    // The disks of every path, each key once, sorted. A path that can not be examined adds
    // nothing.
    std::vector<std::string> disksOf(const std::vector<std::string>& paths);
    // The disks of the file system whose device number is dev.
    std::vector<std::string> disksOfDevice(dev_t dev);

    // The server of a network file system's mount source: "//srv/share", "srv:/export",
    // "[fe80::1]:/x", "user@srv:path" give "srv" (lower case) or the address; empty when
    // none can be told.
    static std::string serverOf(const std::string& source);
    // A key's text with every byte outside [A-Za-z0-9._-] written as %XX.
    static std::string escaped(const std::string& text);

  private:
    struct Mount {
        std::string type;
        std::string source;
    };
    // The whole disks under a device's sysfs folder, down through slaves.
    void wholeDisks(const std::string& deviceFolder, int depth, std::vector<std::string>& out);
    const Mount* mountOf(dev_t dev);

    std::string sysRoot_;
    std::string mountInfo_;
    bool mountsRead_ = false;
    std::map<dev_t, Mount> mounts_;
    std::map<dev_t, std::vector<std::string>> known_;
};

}  // namespace ferrymark
