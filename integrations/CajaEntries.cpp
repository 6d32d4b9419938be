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
    Result result;
    EntryFiles::addOwnFile(
        scripts(options) / EntryFiles::fileName(options.pasteLabel),
        EntryFiles::script(options.program, "--paste", "CAJA_SCRIPT_CURRENT_URI"), true, result);
    EntryFiles::addOwnFile(scripts(options) / EntryFiles::fileName(options.moveLabel),
                           EntryFiles::script(options.program, "--move", "CAJA_SCRIPT_CURRENT_URI"),
                           true, result);
    return result;
}

IFileManagerEntries::Result CajaEntries::remove(const Options& options) {
    Result result;
    EntryFiles::removeOwnFile(scripts(options) / EntryFiles::fileName(options.pasteLabel), result);
    EntryFiles::removeOwnFile(scripts(options) / EntryFiles::fileName(options.moveLabel), result);
    return result;
}

}  // namespace ferrymark
