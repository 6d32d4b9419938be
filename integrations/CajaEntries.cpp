#include "integrations/CajaEntries.h"

#include "integrations/AccelMapFile.h"
#include "integrations/EntryFiles.h"

namespace ferrymark {

namespace {

std::filesystem::path scripts(const IFileManagerEntries::Options& options) {
    return options.home / ".config/caja/scripts";
}

std::filesystem::path accels(const IFileManagerEntries::Options& options) {
    return options.home / ".config/caja/accels";
}

std::vector<AccelMapFile::Binding> bindings(const IFileManagerEntries::Options& options) {
    return {AccelMapFile::scriptBinding(scripts(options), options.pasteLabel, options.pasteKey),
            AccelMapFile::scriptBinding(scripts(options), options.moveLabel, options.moveKey)};
}

}  // namespace

std::string_view CajaEntries::name() const {
    return "Caja";
}

bool CajaEntries::isInstalled(const Options& options) const {
    return EntryFiles::hasProgram("caja", options.searchPath);
}

IFileManagerEntries::Result CajaEntries::add(const Options& options) {
    auto result = EntryFiles::addOwnFiles(
        {{scripts(options) / EntryFiles::fileName(options.pasteLabel),
          EntryFiles::script(options.program, "--paste", "CAJA_SCRIPT_CURRENT_URI")},
         {scripts(options) / EntryFiles::fileName(options.moveLabel),
          EntryFiles::script(options.program, "--move", "CAJA_SCRIPT_CURRENT_URI")}},
        true);
    AccelMapFile::add(accels(options), bindings(options), name(), result);
    return result;
}

IFileManagerEntries::Result CajaEntries::remove(const Options& options) {
    // The keys first: a script's key is known to be ours only while the script is there.
    IFileManagerEntries::Result result;
    AccelMapFile::remove(accels(options), bindings(options), result);
    for (const auto& label : {options.pasteLabel, options.moveLabel}) {
        EntryFiles::removeOwnFile(scripts(options) / EntryFiles::fileName(label), result);
    }
    return result;
}

}  // namespace ferrymark
