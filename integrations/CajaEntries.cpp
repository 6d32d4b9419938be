#include "integrations/CajaEntries.h"

#include "integrations/EntryFiles.h"

namespace ferrymark {

namespace {

std::filesystem::path scripts(const IFileManagerEntries::Options& options) {
    return options.home / ".config/caja/scripts";
}

}  // namespace

std::string_view CajaEntries::name() const {
    return "Caja";
}

bool CajaEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("caja", options.searchPath);
}

IFileManagerEntries::Result CajaEntries::add(const Options& options) {
    return EntryFiles::addOwnFiles(
        {{scripts(options) / EntryFiles::fileName(options.pasteLabel),
          EntryFiles::script(options.program, "--paste", "CAJA_SCRIPT_CURRENT_URI")},
         {scripts(options) / EntryFiles::fileName(options.moveLabel),
          EntryFiles::script(options.program, "--move", "CAJA_SCRIPT_CURRENT_URI")}},
        true);
}

IFileManagerEntries::Result CajaEntries::remove(const Options& options) {
    return EntryFiles::removeOwnFiles({scripts(options) / EntryFiles::fileName(options.pasteLabel),
                                       scripts(options) / EntryFiles::fileName(options.moveLabel)});
}

}  // namespace ferrymark
