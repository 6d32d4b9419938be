// The soak: rounds of five jobs at once on one Qt host (see SoakRound), on Qt's offscreen
// platform. Exit 0 when every round held, 1 when one did not.
// Usage: soak_test [--rounds N] [--seed S] [--megabytes-per-job M] [--timeout SECONDS]
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "AnnotatedQtHost.h"
#include "SoakRound.h"
#include "ui/QtJobHost.h"

namespace {

// The offscreen platform warns at every window it cannot raise; nothing to learn there.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    qt_message_output(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietOffscreen);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    int rounds = 3;
    auto seed = static_cast<std::uint32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() & 0xffffffffu);
    std::size_t megabytes = 16;
    int timeout = 300;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const unsigned long value = args[i + 1].toULong();
        if (name == "--rounds") {
            rounds = static_cast<int>(value);
        } else if (name == "--seed") {
            seed = static_cast<std::uint32_t>(value);
        } else if (name == "--megabytes-per-job") {
            megabytes = value;
        } else if (name == "--timeout") {
            timeout = static_cast<int>(value);
        } else {
            std::fprintf(stderr, "soak: unknown option %s\n", qPrintable(name));
            return 2;
        }
    }

    ferrymark::QtJobHost qtHost;
    ferrymark::test::AnnotatedQtHost host(qtHost);
    int failedRounds = 0;
    for (int round = 0; round < rounds; ++round) {
        ferrymark::test::SoakRound::Options options;
        options.seed = seed + static_cast<std::uint32_t>(round);
        options.bytesPerJob = megabytes << 20;
        options.timeout = std::chrono::seconds(timeout);
        ferrymark::test::SoakRound soak(host, options);
        const auto report = soak.run();
        std::printf(
            "soak round %d/%d (seed %u): %.1f s (jobs %.1f s), %zu files, %.1f MB, %d prompts, "
            "%d pauses, %d resumes, %d stops: %s\n",
            round + 1, rounds, options.seed, report.seconds, report.transferSeconds, report.files,
            static_cast<double>(report.bytes) / (1 << 20), report.prompts, report.pauses,
            report.resumes, report.stops, report.failures.empty() ? "ok" : "FAILED");
        for (const auto& line : report.jobs) {
            std::printf("  %s\n", line.c_str());
        }
        for (std::size_t i = 0; i < report.failures.size() && i < 30; ++i) {
            std::printf("  failure: %s\n", report.failures[i].c_str());
        }
        std::fflush(stdout);
        failedRounds += !report.failures.empty();
    }
    std::printf("soak: %d of %d rounds held\n", rounds - failedRounds, rounds);
    return failedRounds == 0 ? 0 : 1;
}
