#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CopiedFiles.h"

class QMimeData;

namespace ferrymark {

// Reads the files that a file manager copied or cut from the clipboard. The clipboard
// is only read, never written or cleared, so the same files can be pasted again.
//
// The decoding is pure and needs no display; the glue at the bottom reads the system
// clipboard once per command.
class ClipboardReader {
  public:
    // The bytes offered for a target (a MIME type or X11 target name), or nothing when
    // the target is not offered.
    using TargetData = std::function<std::optional<QByteArray>(const QString& target)>;

    static inline const QString kGnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
    static inline const QString kMateCopiedFiles = QStringLiteral("x-special/mate-copied-files");
    static inline const QString kUriList = QStringLiteral("text/uri-list");
    static inline const QString kKdeCutSelection = QStringLiteral("application/x-kde-cutselection");

    // The copied files from the offered targets: x-special/gnome-copied-files, else
    // x-special/mate-copied-files, else text/uri-list with application/x-kde-cutselection
    // telling a cut. Plain-text targets are never read. Asks each target at most once.
    static CopiedFiles decode(const TargetData& target);

    // An x-special/*-copied-files body: "copy" or "cut", then one URI a line. Nothing
    // when the first line is neither.
    static std::optional<CopiedFiles> decodeCopiedFiles(std::string_view bytes);

    // A text/uri-list body: the local files, skipping blank and comment lines.
    static std::vector<std::string> decodeUriList(std::string_view bytes);

    // An application/x-kde-cutselection body: "1" marks a cut.
    static bool decodeCutSelection(std::string_view bytes);

    // The copied files of a clipboard's content; asks for its formats once and reads
    // each needed format once (an owner that never answers costs a timeout per read).
    static CopiedFiles fromMimeData(const QMimeData* data);

    // The copied files on the system clipboard. UI thread; needs a QGuiApplication.
    static CopiedFiles fromClipboard();
};

}  // namespace ferrymark
