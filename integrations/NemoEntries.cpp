#include "integrations/NemoEntries.h"

#include "integrations/AccelMapFile.h"
#include "integrations/EntryFiles.h"

namespace ferrymark {

namespace {

std::filesystem::path action(const IFileManagerEntries::Options& options, const char* id) {
    return options.home / ".local/share/nemo/actions" / (std::string(id) + ".nemo_action");
}

std::string actionText(const IFileManagerEntries::Options& options, const std::string& label,
                       const char* flag, const char* icon) {
    return std::string(EntryFiles::kMarker) + "\n[Nemo Action]\nName=" + label +
           "\nComment=" + label + "\nExec=" + EntryFiles::shellQuoted(options.program) + " " +
           flag + " %P\nIcon-Name=" + icon + "\nSelection=None\nExtensions=any;\n";
}

std::filesystem::path scripts(const IFileManagerEntries::Options& options) {
    return options.home / ".local/share/nemo/scripts";
}

std::filesystem::path accels(const IFileManagerEntries::Options& options) {
    return options.home / ".gnome2/accels/nemo";
}

std::vector<AccelMapFile::Binding> bindings(const IFileManagerEntries::Options& options) {
    return {AccelMapFile::scriptBinding(scripts(options), options.pasteLabel, options.pasteKey),
            AccelMapFile::scriptBinding(scripts(options), options.moveLabel, options.moveKey)};
}

}  // namespace

std::string_view NemoEntries::name() const {
    return "Nemo";
}

bool NemoEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("nemo", options.searchPath);
}

IFileManagerEntries::Result NemoEntries::add(const Options& options) {
    auto result =
        EntryFiles::addOwnFiles({{action(options, "ferrymark-paste"),
                                  actionText(options, options.pasteLabel, "--paste", "edit-paste")},
                                 {action(options, "ferrymark-move"),
                                  actionText(options, options.moveLabel, "--move", "edit-cut")}},
                                false);
    // Actions cannot have keys; scripts can, so a key comes with a script to bind it to.
    struct Command {
        const std::string& label;
        const std::string& key;
        const char* flag;
    };
    for (const Command& c : {Command{options.pasteLabel, options.pasteKey, "--paste"},
                             Command{options.moveLabel, options.moveKey, "--move"}}) {
        if (!c.key.empty()) {
            EntryFiles::addOwnFile(
                scripts(options) / EntryFiles::fileName(c.label),
                EntryFiles::script(options.program, c.flag, "NEMO_SCRIPT_CURRENT_URI"), true,
                result);
        }
    }
    AccelMapFile::add(accels(options), bindings(options), name(), result);
    return result;
}

IFileManagerEntries::Result NemoEntries::remove(const Options& options) {
    // The keys first: a script's key is known to be ours only while the script is there.
    IFileManagerEntries::Result result;
    AccelMapFile::remove(accels(options), bindings(options), result);
    for (const auto& path : {action(options, "ferrymark-paste"), action(options, "ferrymark-move"),
                             scripts(options) / EntryFiles::fileName(options.pasteLabel),
                             scripts(options) / EntryFiles::fileName(options.moveLabel)}) {
        EntryFiles::removeOwnFile(path, result);
    }
    return result;
}

}  // namespace ferrymark
