#include "integrations/DolphinEntries.h"

#include "integrations/EntryFiles.h"

namespace ferrymark {

namespace {

std::filesystem::path serviceMenu(const IFileManagerEntries::Options& options) {
    return options.home / ".local/share/kio/servicemenus/ferrymark.desktop";
}

}  // namespace

std::string_view DolphinEntries::name() const {
    return "Dolphin";
}

bool DolphinEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("dolphin", options.searchPath);
}

IFileManagerEntries::Result DolphinEntries::add(const Options& options) {
    Result result;
    const std::string program = EntryFiles::execQuoted(options.program);
    // Dolphin runs a service menu only when its file is executable.
    EntryFiles::addOwnFile(
        serviceMenu(options),
        std::string(EntryFiles::kMarker) +
            "\n[Desktop Entry]\nType=Service\nMimeType=inode/directory;\n"
            "Actions=ferrymarkPaste;ferrymarkMove;\nX-KDE-Priority=TopLevel\n"
            "\n[Desktop Action ferrymarkPaste]\nName=" +
            options.pasteLabel + "\nIcon=edit-paste\nExec=" + program +
            " --paste %f\n\n[Desktop Action ferrymarkMove]\nName=" + options.moveLabel +
            "\nIcon=edit-cut\nExec=" + program + " --move %f\n",
        true, result);
    return result;
}

IFileManagerEntries::Result DolphinEntries::remove(const Options& options) {
    Result result;
    EntryFiles::removeOwnFile(serviceMenu(options), result);
    return result;
}

}  // namespace ferrymark
