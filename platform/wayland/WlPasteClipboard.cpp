#include "platform/wayland/WlPasteClipboard.h"

#include <QStandardPaths>
#include <memory>

#include "platform/CommandOutput.h"

namespace ferrymark {

namespace {

const QString kProgram = QStringLiteral("wl-paste");

}  // namespace

WlPasteClipboard::WlPasteClipboard(Run run) : run_(std::move(run)) {
    if (!run_) {
        run_ = [](const QStringList& arguments) {
            return CommandOutput::run(kProgram, arguments, kTimeoutMs);
        };
    }
}

WlPasteClipboard::TargetData WlPasteClipboard::targets() const {
    auto offered = std::make_shared<std::optional<QStringList>>();
    return [run = run_, offered](const QString& type) -> std::optional<QByteArray> {
        if (!offered->has_value()) {
            // An empty clipboard makes wl-paste fail: nothing is offered then.
            const auto listing = run({QStringLiteral("--list-types")});
            QStringList types;
            if (listing) {
                for (const QString& line : QString::fromUtf8(*listing).split(QLatin1Char('\n'))) {
                    if (const QString name = line.trimmed(); !name.isEmpty()) {
                        types.append(name);
                    }
                }
            }
            *offered = std::move(types);
        }
        if (!(*offered)->contains(type)) {
            return std::nullopt;
        }
        return run({QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    };
}

bool WlPasteClipboard::available() {
    return !QStandardPaths::findExecutable(kProgram).isEmpty();
}

}  // namespace ferrymark
