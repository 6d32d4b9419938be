// The calls an eject makes, by what the drive can do, against a stand-in UDisks2 on a
// private bus: what no loop device can show (powering off, ejecting).
#include "platform/freedesktop/UDisksEjector.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <optional>

#include "PrivateBus.h"
#include "UiWait.h"

namespace ferrymark {
namespace {

using testing::PrivateBus;
using testing::UiWait;

const QString kBlocks = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
const QString kDrive = QStringLiteral("/org/freedesktop/UDisks2/drives/Acme_Stick");

// Answers every call, but the one named failOn with UDisks2's error for it.
class StandInUDisks final : public QDBusVirtualObject {
  public:
    QStringList calls;
    QString failOn;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        calls << message.member() + QLatin1Char(' ') + message.path();
        bus.send(message.member() == failOn
                     ? message.createErrorReply(
                           QStringLiteral("org.freedesktop.UDisks2.Error.Failed"),
                           QStringLiteral("Error %1 /dev/sdb: refused").arg(message.member()))
                     : message.createReply());
        return true;
    }
};

struct Case {
    const char* name;
    bool drive;
    bool canPowerOff;
    bool ejectable;
    QString failOn;
    QStringList calls;
    bool ok;
    UDisksEjector::Step failed;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class UDisksEjectorTest : public ::testing::TestWithParam<Case> {
  protected:
    static void SetUpTestSuite() { bus_ = std::make_unique<PrivateBus>(); }
    static void TearDownTestSuite() { bus_.reset(); }
    static inline std::unique_ptr<PrivateBus> bus_;
};

TEST_P(UDisksEjectorTest, Calls) {
    if (!bus_->error().isEmpty()) {
        GTEST_SKIP() << "no private bus: " << bus_->error().toStdString();
    }
    const Case& c = GetParam();
    QDBusConnection service = QDBusConnection::connectToBus(bus_->address(), "udisks");
    StandInUDisks udisks;
    udisks.failOn = c.failOn;
    ASSERT_TRUE(service.registerVirtualObject(QStringLiteral("/org/freedesktop/UDisks2"), &udisks,
                                              QDBusConnection::SubPath));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.UDisks2")));
    {
        DriveFacts disk;
        disk.drive = c.drive ? kDrive : QString();
        disk.canPowerOff = c.canPowerOff;
        disk.ejectable = c.ejectable;
        disk.mediaRemovable = true;
        disk.mounted = {{kBlocks + "sdb1", "/dev/sdb1", {"/media/u/A"}},
                        {kBlocks + "sdb2", "/dev/sdb2", {"/media/u/B"}}};
        UDisksEjector ejector(QDBusConnection::connectToBus(bus_->address(), "client"));
        std::optional<std::tuple<bool, UDisksEjector::Step, QString>> result;
        QObject::connect(&ejector, &UDisksEjector::finished,
                         [&](bool ok, UDisksEjector::Step step, const QString& message) {
                             result.emplace(ok, step, message);
                         });
        ejector.eject(disk);
        ASSERT_TRUE(UiWait::until([&] { return result.has_value(); }));
        EXPECT_EQ(udisks.calls, c.calls);
        EXPECT_EQ(std::get<0>(*result), c.ok);
        EXPECT_EQ(std::get<1>(*result), c.failed);
        if (!c.ok) {
            EXPECT_EQ(std::get<2>(*result), "Error " + c.failOn + " /dev/sdb: refused");
        }
    }
    QDBusConnection::disconnectFromBus("client");
    service.unregisterService(QStringLiteral("org.freedesktop.UDisks2"));
    service.unregisterObject(QStringLiteral("/org/freedesktop/UDisks2"),
                             QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus("udisks");
}

const QStringList kUnmountBoth = {"Unmount " + kBlocks + "sdb1", "Unmount " + kBlocks + "sdb2"};
using Step = UDisksEjector::Step;

INSTANTIATE_TEST_SUITE_P(Drives, UDisksEjectorTest,
                         ::testing::Values(Case{"UsbStickIsPoweredOff",
                                                true,
                                                true,
                                                true,
                                                {},
                                                kUnmountBoth + QStringList{"PowerOff " + kDrive},
                                                true,
                                                Step::None},
                                           Case{"OpticalDriveIsEjected",
                                                true,
                                                false,
                                                true,
                                                {},
                                                kUnmountBoth + QStringList{"Eject " + kDrive},
                                                true,
                                                Step::None},
                                           Case{"CardInABuiltInSlotIsOnlyUnmounted",
                                                true,
                                                false,
                                                false,
                                                {},
                                                kUnmountBoth,
                                                true,
                                                Step::None},
                                           Case{"DiskWithoutDriveIsOnlyUnmounted",
                                                false,
                                                true,
                                                true,
                                                {},
                                                kUnmountBoth,
                                                true,
                                                Step::None},
                                           Case{"BusyFileSystemStopsTheRest",
                                                true,
                                                true,
                                                true,
                                                "Unmount",
                                                {"Unmount " + kBlocks + "sdb1"},
                                                false,
                                                Step::Unmount},
                                           Case{"RefusedPowerOff", true, true, true, "PowerOff",
                                                kUnmountBoth + QStringList{"PowerOff " + kDrive},
                                                false, Step::PowerOff}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ferrymark
