#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace ferrymark {

// The Wayland clipboard read through wl-paste, which binds the compositor's data-control
// protocol: a program without a focused window reads nothing through Qt there.
class WlPasteClipboard {
  public:
    // Runs wl-paste with these arguments: its output, or nothing when it fails.
    using Run = std::function<std::optional<QByteArray>(const QStringList& arguments)>;
    // The bytes offered for a MIME type, or nothing when it is not offered.
    using TargetData = std::function<std::optional<QByteArray>(const QString& type)>;

    static constexpr int kTimeoutMs = 3000;

    // The default runs the wl-paste on PATH, each call limited to kTimeoutMs.
    explicit WlPasteClipboard(Run run = {});

    // A reader of the clipboard as it is now: lists the offered types at its first use,
    // then reads each asked type that is offered.
    TargetData targets() const;

    // Whether wl-paste is installed.
    static bool available();

  private:
    Run run_;
};

}  // namespace ferrymark
