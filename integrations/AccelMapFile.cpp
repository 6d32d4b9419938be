#include "integrations/AccelMapFile.h"

#include "integrations/EntryFiles.h"

namespace ferrymark {
namespace fs = std::filesystem;

namespace {

// A string of the map file, which GTK reads with scheme quoting.
std::string schemeString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// A file URI as GLib makes one, so that the action name matches the file manager's.
std::string fileUri(const std::string& path) {
    static constexpr std::string_view kKept = "-._~!$&'()*+,=:@/";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum || kKept.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

}  // namespace

std::string AccelMapFile::line(const Binding& binding) {
    return "(gtk_accel_path " + schemeString(binding.accelPath) + " " + schemeString(binding.key) +
           ")";
}

bool AccelMapFile::isFree(std::string_view text, const Binding& binding) {
    const std::string path = "(gtk_accel_path " + schemeString(binding.accelPath) + " ";
    const std::string key = " " + schemeString(binding.key) + ")";
    for (const auto line : EntryFiles::lines(text)) {
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.find(path) != std::string_view::npos || line.find(key) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

void AccelMapFile::add(const fs::path& file, const std::vector<Binding>& bindings,
                       std::string_view fileManager, IFileManagerEntries::Result& result) {
    const auto before = EntryFiles::read(file);
    std::string text = before.value_or("");
    for (const Binding& b : bindings) {
        if (b.key.empty()) {
            continue;
        }
        if (isFree(text, b)) {
            text = EntryFiles::withLine(text, line(b));
        } else {
            result.notes.push_back(std::string(fileManager) + ": " + b.key + " or \"" + b.label +
                                   "\" already has a key; none added");
        }
    }
    if (text != before.value_or("")) {
        EntryFiles::update(file, text, result);
    }
}

void AccelMapFile::remove(const fs::path& file, const std::vector<Binding>& bindings,
                          IFileManagerEntries::Result& result) {
    const auto before = EntryFiles::read(file);
    if (!before) {
        return;
    }
    std::string text = *before;
    for (const Binding& b : bindings) {
        if (!b.key.empty()) {
            text = EntryFiles::withoutLine(text, line(b));
        }
    }
    if (text != *before) {
        EntryFiles::update(file, text, result);
    }
}

std::string AccelMapFile::scriptAccelPath(const fs::path& script) {
    std::string out = "<Actions>/ScriptsGroup/script_";
    for (const char c : fileUri(script.string())) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '/':
                out += "\\s";
                break;
            case '&':
                out += "\\a";
                break;
            case '"':
                out += "\\q";
                break;
            default:
                out += c;
        }
    }
    return out;
}

AccelMapFile::Binding AccelMapFile::scriptBinding(const fs::path& folder, const std::string& label,
                                                  const std::string& key) {
    const fs::path script = folder / EntryFiles::fileName(label);
    const auto text = EntryFiles::read(script);
    const bool ours = text && text->find(EntryFiles::kMarker) != std::string::npos;
    return {scriptAccelPath(script), ours ? key : std::string(), label};
}

}  // namespace ferrymark
