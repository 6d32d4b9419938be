// Test main for the tests that need an X display with a window manager, a session bus and
// xdotool: run them through tests/run-x11.sh. Exit code 77 tells CTest they were skipped.
#include <gtest/gtest.h>

#include <QtGui/qguiapplication_platform.h>
#include <QApplication>
#include <QStandardPaths>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::fprintf(stderr,
                     "SKIP: needs an X display and a session bus; run through "
                     "tests/run-x11.sh\n");
        return 77;
    }
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) {
        std::fprintf(stderr, "SKIP: xdotool is not installed; run scripts/install-deps.sh\n");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);  // widgets too: the delegate makes a menu
    if (app.nativeInterface<QNativeInterface::QX11Application>() == nullptr) {
        std::fprintf(stderr, "SKIP: Qt is not running on X11\n");
        return 77;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
