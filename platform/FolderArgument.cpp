#include "platform/FolderArgument.h"

#include <QStringList>

#include "platform/CommandOutput.h"
#include "platform/LocalPath.h"

namespace ferrymark {
namespace {

constexpr int kGioTimeoutMs = 5000;

// "scheme:" as URIs start: a letter, then letters, digits, "+", "-" or ".".
bool hasScheme(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isAlpha(text[0])) {
        return false;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = text[i];
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

InsertionLocation existingFolder(std::string path, std::string_view argument) {
    if (!LocalPath::isDirectory(path)) {
        return InsertionLocation::none("\"" + std::string(argument) + "\" is not a folder");
    }
    return InsertionLocation::at(std::move(path));
}

}  // namespace

InsertionLocation FolderArgument::resolve(std::string_view argument,
                                          const LocalPathOf& localPathOf) {
    if (argument.empty()) {
        return InsertionLocation::none("no folder was given");
    }
    if (!hasScheme(argument)) {
        if (argument.front() != '/') {
            return InsertionLocation::none("\"" + std::string(argument) +
                                           "\" is not an absolute path");
        }
        return existingFolder(std::string(argument), argument);
    }
    if (argument.substr(0, 5) == "file:") {
        auto path = LocalPath::fromFileUri(argument);
        if (!path) {
            return InsertionLocation::none("\"" + std::string(argument) +
                                           "\" is not a folder on this computer");
        }
        return existingFolder(std::move(*path), argument);
    }
    auto local = localPathOf ? localPathOf(std::string(argument)) : std::nullopt;
    if (!local || local->empty() || local->front() != '/') {
        return InsertionLocation::none("\"" + std::string(argument) +
                                       "\" is not on a local disk, and the desktop offers no "
                                       "local path for it");
    }
    return existingFolder(std::move(*local), argument);
}

std::optional<std::string> FolderArgument::gioLocalPath(const std::string& uri) {
    // Only the header lines are wanted; one cheap attribute keeps the query short.
    const auto output = CommandOutput::run(
        QStringLiteral("gio"),
        {QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::type"),
         QString::fromUtf8(uri.data(), qsizetype(uri.size()))},
        kGioTimeoutMs);
    if (!output) {
        return std::nullopt;
    }
    return localPathFromGioInfo(output->toStdString());
}

std::optional<std::string> FolderArgument::localPathFromGioInfo(std::string_view output) {
    constexpr std::string_view kKey = "local path: ";
    std::size_t start = 0;
    while (start < output.size()) {
        auto end = output.find('\n', start);
        if (end == std::string_view::npos) {
            end = output.size();
        }
        const std::string_view line = output.substr(start, end - start);
        if (line.substr(0, kKey.size()) == kKey) {
            const std::string_view path = line.substr(kKey.size());
            if (!path.empty() && path.front() == '/') {
                return std::string(path);
            }
            return std::nullopt;
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace ferrymark
