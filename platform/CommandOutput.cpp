#include "platform/CommandOutput.h"

#include <QProcess>

namespace ferrymark {

std::optional<QByteArray> CommandOutput::run(const QString& program, const QStringList& arguments,
                                             int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(timeoutMs)) {
        return std::nullopt;
    }
    // A clipboard owner that never answers would hold the command for good.
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

}  // namespace ferrymark
