// Which disks a path lies on, against a made-up sysfs and mount table laid out as the kernel
// lays out its own: partitions inside their disk's folder, device-mapper and md devices
// naming what they are made of under slaves/, links from /sys/dev/block to the devices.
#include "engine/DiskIdentity.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "TestTree.h"

namespace ferrymark {
namespace {

class FakeSys {
  public:
    FakeSys() {
        for (const char* disk : {"sda", "sdb", "sdc", "sdd", "nvme0n1"}) {
            tree.mkdir(block(disk));
        }
        for (const char* partition : {"sda/sda1", "sda/sda2", "sdc/sdc1", "nvme0n1/nvme0n1p1"}) {
            tree.write(block(partition) + "/partition", "1\n");
        }
        device("8:0", "sda");
        device("8:1", "sda/sda1");
        device("8:2", "sda/sda2");
        device("8:16", "sdb");
        device("8:33", "sdc/sdc1");
        device("8:48", "sdd");
        device("259:1", "nvme0n1/nvme0n1p1");
        // An encrypted volume over two disks' space, and a logical volume on top of it.
        mapped("254:0", "dm-0", {"sda/sda2", "sdb"});
        mapped("254:1", "dm-1", {"dm-0"});
        mapped("9:0", "md0", {"sdc/sdc1", "sdd"});
        tree.write("mountinfo",
                   "22 28 0:21 / /proc rw - proc proc rw\n"
                   "40 28 0:50 / /net/files rw - nfs files.Example.org:/export rw\n"
                   "41 28 0:51 / /net/v6 rw - nfs4 [fe80::1]:/x rw\n"
                   "42 28 0:52 / /net/nas rw - cifs //NAS/my\\040share rw\n"
                   "43 28 0:53 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                   "44 28 0:54 / /home/me/remote rw shared:5 - fuse.sshfs me@Host:/home rw\n"
                   "45 28 0:55 / /net/dav rw - davfs https://u@dav.example.org:8443/r rw\n"
                   "46 28 0:56 / /media/odd rw - nfs :/nothing rw\n");
    }

    std::string sysRoot() const { return tree.path("sys"); }
    std::string mountInfo() const { return tree.path("mountinfo"); }

  private:
    static std::string block(const std::string& name) {
        return "sys/devices/virtual/block/" + name;
    }
    void device(const std::string& number, const std::string& folder) {
        tree.mkdir("sys/dev/block");
        tree.symlink("sys/dev/block/" + number, "../../devices/virtual/block/" + folder);
    }
    void mapped(const std::string& number, const std::string& name,
                const std::vector<std::string>& slaves) {
        tree.mkdir(block(name) + "/slaves");
        for (const auto& slave : slaves) {
            const std::string leaf = slave.substr(slave.rfind('/') + 1);
            tree.symlink(block(name) + "/slaves/" + leaf, "../../" + slave);
        }
        device(number, name);
    }

    test::TestTree tree;
};

struct DiskCase {
    const char* name;
    unsigned major;
    unsigned minor;
    std::vector<std::string> disks;
};

void PrintTo(const DiskCase& c, std::ostream* os) {
    *os << c.name;
}

class DiskIdentityTest : public ::testing::TestWithParam<DiskCase> {};

TEST_P(DiskIdentityTest, FindsTheWholeDisks) {
    FakeSys sys;
    DiskIdentity identity(sys.sysRoot(), sys.mountInfo());
    const DiskCase& c = GetParam();
    EXPECT_EQ(identity.disksOfDevice(makedev(c.major, c.minor)), c.disks);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DiskIdentityTest,
    ::testing::Values(
        DiskCase{"WholeDisk", 8, 0, {"disk-sda"}}, DiskCase{"FirstPartition", 8, 1, {"disk-sda"}},
        DiskCase{"SecondPartition", 8, 2, {"disk-sda"}}, DiskCase{"OtherDisk", 8, 16, {"disk-sdb"}},
        DiskCase{"NvmePartition", 259, 1, {"disk-nvme0n1"}},
        DiskCase{"MapperOverTwoDisks", 254, 0, {"disk-sda", "disk-sdb"}},
        DiskCase{"MapperOverMapper", 254, 1, {"disk-sda", "disk-sdb"}},
        DiskCase{"RaidOverPartitionAndDisk", 9, 0, {"disk-sdc", "disk-sdd"}},
        DiskCase{"UnknownBlockDeviceIsItself", 8, 64, {"dev-8-64"}},
        DiskCase{"Nfs", 0, 50, {"net-files.example.org"}},
        DiskCase{"NfsOverIpv6", 0, 51, {"net-fe80%3A%3A1"}}, DiskCase{"Cifs", 0, 52, {"net-nas"}},
        DiskCase{"Tmpfs", 0, 53, {"dev-0-53"}}, DiskCase{"Sshfs", 0, 54, {"net-host"}},
        DiskCase{"WebDav", 0, 55, {"net-dav.example.org"}},
        DiskCase{"NetworkWithoutServerIsItself", 0, 56, {"dev-0-56"}},
        DiskCase{"NotMounted", 0, 60, {"dev-0-60"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Real file systems: two tmpfs are two disks, a folder and a file inside one are one.
TEST(DiskIdentityOfPaths, EachPathsDisksOnceSorted) {
    test::TestTree tree;
    tree.write("a/file", "x");
    tree.mkdir("b");
    DiskIdentity identity;
    const auto one = identity.disksOf({tree.path("a/file")});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(identity.disksOf({tree.path("a/file"), tree.path("b"), tree.path("a")}), one);
    EXPECT_TRUE(identity.disksOf({tree.path("missing")}).empty());

    struct stat st {};
    ASSERT_EQ(::stat("/proc/self", &st), 0);
    const auto proc = identity.disksOf({"/proc/self"});
    EXPECT_EQ(proc, (std::vector<std::string>{"dev-0-" + std::to_string(minor(st.st_dev))}));
    std::vector<std::string> both = one;
    both.insert(both.end(), proc.begin(), proc.end());
    std::sort(both.begin(), both.end());
    EXPECT_EQ(identity.disksOf({"/proc/self", tree.path("b")}), both);
}

}  // namespace
}  // namespace ferrymark
