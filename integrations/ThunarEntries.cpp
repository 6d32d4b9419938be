#include "integrations/ThunarEntries.h"

#include "integrations/AccelMapFile.h"
#include "integrations/EntryFiles.h"

namespace ferrymark {
namespace fs = std::filesystem;

namespace {

// What Thunar writes for a new user, so that taking our actions out of a file we made
// leaves no file behind.
constexpr std::string_view kEmptyActions =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

struct Command {
    const char* id;
    const std::string& label;
    const std::string& key;
    const char* flag;
    const char* icon;
};

fs::path ucaFile(const IFileManagerEntries::Options& options) {
    return options.home / ".config/Thunar/uca.xml";
}

fs::path accelsFile(const IFileManagerEntries::Options& options) {
    return options.home / ".config/Thunar/accels.scm";
}

std::string element(const IFileManagerEntries::Options& options, const Command& c) {
    return "<action>\n\t<icon>" + std::string(c.icon) + "</icon>\n\t<name>" +
           EntryFiles::xmlEscaped(c.label) + "</name>\n\t<submenu></submenu>\n\t<unique-id>" +
           c.id + "</unique-id>\n\t<command>" +
           EntryFiles::xmlEscaped(EntryFiles::shellQuoted(options.program)) + " " + c.flag +
           " %f</command>\n\t<description>" + EntryFiles::xmlEscaped(c.label) +
           "</description>\n\t<range></range>\n\t<patterns>*</patterns>\n\t<directories/>\n"
           "</action>\n";
}

std::string idTag(const Command& c) {
    return "<unique-id>" + std::string(c.id) + "</unique-id>";
}

std::vector<AccelMapFile::Binding> bindings(const Command (&commands)[2]) {
    std::vector<AccelMapFile::Binding> out;
    for (const Command& c : commands) {
        out.push_back({"<Actions>/ThunarActions/uca-action-" + std::string(c.id), c.key, c.label});
    }
    return out;
}

// Before the line that closes <actions>, or right before the tag when it shares a line.
std::optional<std::size_t> insertionPoint(std::string_view text) {
    const auto close = text.rfind("</actions>");
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    const auto lineStart = text.rfind('\n', close);
    const std::size_t start = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    for (std::size_t i = start; i < close; ++i) {
        if (text[i] != ' ' && text[i] != '\t') {
            return close;
        }
    }
    return start;
}

// Takes our action out: the exact bytes we wrote, or, after Thunar has rewritten the
// file, the <action> element holding our id together with its indentation and newline.
std::string withoutAction(std::string text, const std::string& exact, const std::string& tag) {
    if (const auto at = text.find(exact); at != std::string::npos) {
        return text.erase(at, exact.size());
    }
    const auto id = text.find(tag);
    if (id == std::string::npos) {
        return text;
    }
    auto open = text.rfind("<action>", id);
    const auto close = text.find("</action>", id);
    if (open == std::string::npos || close == std::string::npos) {
        return text;
    }
    auto end = close + std::string_view("</action>").size();
    if (end < text.size() && text[end] == '\n') {
        ++end;
    }
    while (open > 0 && (text[open - 1] == ' ' || text[open - 1] == '\t')) {
        --open;
    }
    return text.erase(open, end - open);
}

}  // namespace

std::string_view ThunarEntries::name() const {
    return "Thunar";
}

bool ThunarEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("thunar", options.searchPath);
}

IFileManagerEntries::Result ThunarEntries::add(const Options& options) {
    Result result;
    const Command commands[] = {
        {"ferrymark-paste", options.pasteLabel, options.pasteKey, "--paste", "edit-paste"},
        {"ferrymark-move", options.moveLabel, options.moveKey, "--move", "edit-cut"}};

    const auto existing = EntryFiles::read(ucaFile(options));
    std::string uca = existing.value_or(std::string(kEmptyActions));
    for (const Command& c : commands) {
        if (uca.find(idTag(c)) != std::string::npos) {
            continue;
        }
        const auto at = insertionPoint(uca);
        if (!at) {
            result.ok = false;
            result.notes.push_back("Thunar: " + ucaFile(options).string() +
                                   " has no </actions>; left as it is");
            break;
        }
        uca.insert(*at, element(options, c));
    }
    if (uca != existing.value_or(std::string(kEmptyActions))) {
        EntryFiles::update(ucaFile(options), uca, result);
    }

    AccelMapFile::add(accelsFile(options), bindings(commands), name(), result);
    return result;
}

IFileManagerEntries::Result ThunarEntries::remove(const Options& options) {
    Result result;
    const Command commands[] = {
        {"ferrymark-paste", options.pasteLabel, options.pasteKey, "--paste", "edit-paste"},
        {"ferrymark-move", options.moveLabel, options.moveKey, "--move", "edit-cut"}};

    if (const auto existing = EntryFiles::read(ucaFile(options))) {
        std::string uca = *existing;
        for (const Command& c : commands) {
            uca = withoutAction(uca, element(options, c), idTag(c));
        }
        if (uca != *existing) {
            EntryFiles::update(ucaFile(options), uca == kEmptyActions ? std::string() : uca,
                               result);
        }
    }
    AccelMapFile::remove(accelsFile(options), bindings(commands), result);
    return result;
}

}  // namespace ferrymark
