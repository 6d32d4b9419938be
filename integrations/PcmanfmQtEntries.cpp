#include "integrations/PcmanfmQtEntries.h"

#include "integrations/EntryFiles.h"

namespace ferrymark {

namespace {

std::filesystem::path action(const IFileManagerEntries::Options& options, const char* id) {
    return options.home / ".local/share/file-manager/actions" / (std::string(id) + ".desktop");
}

std::string actionText(const IFileManagerEntries::Options& options, const std::string& label,
                       const char* flag, const char* icon) {
    return std::string(EntryFiles::kMarker) + "\n[Desktop Entry]\nType=Action\nName=" + label +
           "\nIcon=" + icon +
           "\nProfiles=folder;\n\n[X-Action-Profile folder]\n"
           "MimeTypes=inode/directory;\nExec=" +
           EntryFiles::execQuoted(options.program) + " " + flag + " %f\n";
}

}  // namespace

std::string_view PcmanfmQtEntries::name() const {
    return "PCManFM-Qt";
}

bool PcmanfmQtEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("pcmanfm-qt", options.searchPath);
}

IFileManagerEntries::Result PcmanfmQtEntries::add(const Options& options) {
    return EntryFiles::addOwnFiles(
        {{action(options, "ferrymark-paste"),
          actionText(options, options.pasteLabel, "--paste", "edit-paste")},
         {action(options, "ferrymark-move"),
          actionText(options, options.moveLabel, "--move", "edit-cut")}},
        false);
}

IFileManagerEntries::Result PcmanfmQtEntries::remove(const Options& options) {
    return EntryFiles::removeOwnFiles(
        {action(options, "ferrymark-paste"), action(options, "ferrymark-move")});
}

}  // namespace ferrymark
