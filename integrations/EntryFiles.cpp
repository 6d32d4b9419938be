#include "integrations/EntryFiles.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace ferrymark {
namespace fs = std::filesystem;

namespace {

bool plainlySafe(std::string_view word) {
    if (word.empty()) {
        return false;
    }
    for (const char c : word) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '-' || c == '_' ||
                          c == '+';
        if (!safe) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> EntryFiles::read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool EntryFiles::write(const fs::path& path, std::string_view bytes, bool executable) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const fs::path temporary = path.string() + ".ferrymark-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            fs::remove(temporary, error);
            return false;
        }
    }
    // Keep the mode of a file of the user's that is rewritten.
    if (fs::exists(path, error)) {
        fs::permissions(temporary, fs::status(path, error).permissions(), error);
    }
    if (executable) {
        fs::permissions(temporary,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        error);
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

void EntryFiles::addOwnFile(const fs::path& path, std::string_view bytes, bool executable,
                            IFileManagerEntries::Result& result) {
    if (const auto existing = read(path)) {
        if (existing->find(kMarker) == std::string::npos) {
            result.notes.push_back("kept " + path.string() + ", which is not Ferrymark's");
            return;
        }
    } else if (fs::symlink_status(path).type() != fs::file_type::not_found) {
        result.notes.push_back("kept " + path.string() + ", which is not Ferrymark's");
        return;
    }
    if (!write(path, bytes, executable)) {
        result.ok = false;
        result.notes.push_back("could not write " + path.string());
    }
}

IFileManagerEntries::Result EntryFiles::addOwnFiles(
    const std::vector<std::pair<fs::path, std::string>>& files, bool executable) {
    IFileManagerEntries::Result result;
    for (const auto& [path, bytes] : files) {
        addOwnFile(path, bytes, executable, result);
    }
    return result;
}

IFileManagerEntries::Result EntryFiles::removeOwnFiles(const std::vector<fs::path>& paths) {
    IFileManagerEntries::Result result;
    for (const auto& path : paths) {
        removeOwnFile(path, result);
    }
    return result;
}

void EntryFiles::removeOwnFile(const fs::path& path, IFileManagerEntries::Result& result) {
    const auto existing = read(path);
    if (!existing || existing->find(kMarker) == std::string::npos) {
        return;
    }
    std::error_code error;
    if (!fs::remove(path, error)) {
        result.ok = false;
        result.notes.push_back("could not remove " + path.string());
    }
}

std::vector<std::string_view> EntryFiles::lines(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string EntryFiles::withLine(std::string_view text, std::string_view line) {
    for (const auto existing : lines(text)) {
        if (existing == line) {
            return std::string(text);
        }
    }
    // First, not last: a file that does not end in a newline stays as it was below it,
    // and taking the line out gives back exactly the old bytes.
    return std::string(line) + "\n" + std::string(text);
}

std::string EntryFiles::withoutLine(std::string_view text, std::string_view line) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        const bool lastWithoutNewline = end == std::string_view::npos;
        if (lastWithoutNewline) {
            end = text.size();
        }
        const std::string_view current = text.substr(start, end - start);
        if (current != line) {
            out.append(text.substr(start, end - start + (lastWithoutNewline ? 0 : 1)));
        }
        start = end + 1;
    }
    return out;
}

std::string EntryFiles::shellQuoted(std::string_view word) {
    if (plainlySafe(word)) {
        return std::string(word);
    }
    std::string out = "'";
    for (const char c : word) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string EntryFiles::execQuoted(std::string_view word) {
    if (plainlySafe(word)) {
        return std::string(word);
    }
    std::string out = "\"";
    for (const char c : word) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    // A literal percent sign is written twice in Exec lines.
    std::string escaped;
    for (const char c : out) {
        escaped += c;
        if (c == '%') {
            escaped += '%';
        }
    }
    return escaped;
}

std::string EntryFiles::xmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string EntryFiles::script(std::string_view program, std::string_view flag,
                               std::string_view envVar) {
    return "#!/bin/sh\n" + std::string(kMarker) + "\nexec " + shellQuoted(program) + " " +
           std::string(flag) + " \"$" + std::string(envVar) + "\"\n";
}

std::string EntryFiles::fileName(std::string_view label) {
    std::string out(label);
    for (char& c : out) {
        if (c == '/') {
            c = '-';
        }
    }
    return out;
}

void EntryFiles::update(const fs::path& path, const std::string& text,
                        IFileManagerEntries::Result& result) {
    std::error_code error;
    const bool done = text.empty() ? fs::remove(path, error) : write(path, text);
    if (!done) {
        result.ok = false;
        result.notes.push_back("could not write " + path.string());
    }
}

bool EntryFiles::hasProgram(std::string_view program, const std::vector<fs::path>& searchPath) {
    std::vector<fs::path> folders = searchPath;
    if (folders.empty()) {
        const char* path = std::getenv("PATH");
        std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            folders.emplace_back(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        }
    }
    for (const auto& folder : folders) {
        std::error_code error;
        const auto status = fs::status(folder / program, error);
        if (!error && fs::is_regular_file(status) &&
            (status.permissions() & fs::perms::owner_exec) != fs::perms::none) {
            return true;
        }
    }
    return false;
}

}  // namespace ferrymark
