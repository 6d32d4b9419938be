#include "app/ClipboardReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>

#include "platform/LocalPath.h"

namespace ferrymark {

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::string_view trimmed(std::string_view line) {
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = line.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

// Calls f with each line, without its terminator; a last line needs none.
template <typename F>
void forEachLine(std::string_view bytes, F&& f) {
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        f(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(end + 1);
    }
}

void appendLocal(std::vector<std::string>& paths, std::string_view uri) {
    if (auto path = LocalPath::fromFileUri(uri)) {
        paths.push_back(std::move(*path));
    }
}

}  // namespace

CopiedFiles ClipboardReader::decode(const TargetData& target) {
    for (const QString& name : {kGnomeCopiedFiles, kMateCopiedFiles}) {
        if (const auto bytes = target(name)) {
            if (auto files = decodeCopiedFiles(view(*bytes))) {
                return std::move(*files);
            }
        }
    }
    CopiedFiles files;
    if (const auto bytes = target(kUriList)) {
        files.paths = decodeUriList(view(*bytes));
    }
    if (!files.paths.empty()) {
        const auto mark = target(kKdeCutSelection);
        files.cut = mark && decodeCutSelection(view(*mark));
    }
    return files;
}

std::optional<CopiedFiles> ClipboardReader::decodeCopiedFiles(std::string_view bytes) {
    CopiedFiles files;
    bool first = true;
    bool valid = false;
    forEachLine(bytes, [&](std::string_view raw) {
        const std::string_view line = trimmed(raw);
        if (first) {
            first = false;
            valid = line == "copy" || line == "cut";
            files.cut = line == "cut";
            return;
        }
        if (valid && !line.empty()) {
            appendLocal(files.paths, line);
        }
    });
    if (!valid) {
        return std::nullopt;
    }
    return files;
}

std::vector<std::string> ClipboardReader::decodeUriList(std::string_view bytes) {
    std::vector<std::string> paths;
    forEachLine(bytes, [&](std::string_view raw) {
        const std::string_view line = trimmed(raw);
        if (!line.empty() && !line.starts_with('#')) {
            appendLocal(paths, line);
        }
    });
    return paths;
}

bool ClipboardReader::decodeCutSelection(std::string_view bytes) {
    // Some owners pass a C string's terminator along.
    while (!bytes.empty() && bytes.back() == '\0') {
        bytes.remove_suffix(1);
    }
    return trimmed(bytes) == "1";
}

CopiedFiles ClipboardReader::fromMimeData(const QMimeData* data) {
    if (data == nullptr) {
        return {};
    }
    const QStringList formats = data->formats();
    return decode([&](const QString& target) -> std::optional<QByteArray> {
        if (!formats.contains(target)) {
            return std::nullopt;
        }
        return data->data(target);
    });
}

CopiedFiles ClipboardReader::fromClipboard() {
    return fromMimeData(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
}

}  // namespace ferrymark
