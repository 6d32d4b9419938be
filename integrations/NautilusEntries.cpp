#include "integrations/NautilusEntries.h"

#include "integrations/EntryFiles.h"

namespace ferrymark {
namespace fs = std::filesystem;

namespace {

struct Command {
    const std::string& label;
    const std::string& key;
    const char* flag;
};

fs::path scripts(const IFileManagerEntries::Options& options) {
    return options.home / ".local/share/nautilus/scripts";
}

fs::path accels(const IFileManagerEntries::Options& options) {
    return options.home / ".config/nautilus/scripts-accels";
}

// A key is added only where neither the key nor the script has a line already.
bool keyIsFree(std::string_view text, std::string_view key, std::string_view script) {
    for (const auto line : EntryFiles::lines(text)) {
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        const auto space = line.find(' ');
        if (space == std::string_view::npos) {
            continue;
        }
        if (line.substr(0, space) == key || line.substr(space + 1) == script) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view NautilusEntries::name() const {
    return "Nautilus";
}

bool NautilusEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("nautilus", options.searchPath);
}

IFileManagerEntries::Result NautilusEntries::add(const Options& options) {
    Result result;
    std::string text = EntryFiles::read(accels(options)).value_or("");
    const std::string before = text;
    for (const Command& c : {Command{options.pasteLabel, options.pasteKey, "--paste"},
                             Command{options.moveLabel, options.moveKey, "--move"}}) {
        const std::string script = EntryFiles::fileName(c.label);
        EntryFiles::addOwnFile(
            scripts(options) / script,
            EntryFiles::script(options.program, c.flag, "NAUTILUS_SCRIPT_CURRENT_URI"), true,
            result);
        if (c.key.empty()) {
            continue;
        }
        if (keyIsFree(text, c.key, script)) {
            text = EntryFiles::withLine(text, c.key + " " + script);
        } else {
            result.notes.push_back("Nautilus: " + c.key + " or \"" + script +
                                   "\" already has a key; none added");
        }
    }
    if (text != before) {
        EntryFiles::update(accels(options), text, result);
    }
    return result;
}

IFileManagerEntries::Result NautilusEntries::remove(const Options& options) {
    Result result;
    const auto existing = EntryFiles::read(accels(options));
    std::string text = existing.value_or("");
    for (const Command& c : {Command{options.pasteLabel, options.pasteKey, "--paste"},
                             Command{options.moveLabel, options.moveKey, "--move"}}) {
        const std::string script = EntryFiles::fileName(c.label);
        EntryFiles::removeOwnFile(scripts(options) / script, result);
        if (!c.key.empty()) {
            text = EntryFiles::withoutLine(text, c.key + " " + script);
        }
    }
    if (existing && text != *existing) {
        EntryFiles::update(accels(options), text, result);
    }
    return result;
}

}  // namespace ferrymark
