#include "integrations/NemoEntries.h"

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

}  // namespace

std::string_view NemoEntries::name() const {
    return "Nemo";
}

bool NemoEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("nemo", options.searchPath);
}

IFileManagerEntries::Result NemoEntries::add(const Options& options) {
    return EntryFiles::addOwnFiles(
        {{action(options, "ferrymark-paste"),
          actionText(options, options.pasteLabel, "--paste", "edit-paste")},
         {action(options, "ferrymark-move"),
          actionText(options, options.moveLabel, "--move", "edit-cut")}},
        false);
}

IFileManagerEntries::Result NemoEntries::remove(const Options& options) {
    return EntryFiles::removeOwnFiles(
        {action(options, "ferrymark-paste"), action(options, "ferrymark-move")});
}

}  // namespace ferrymark
