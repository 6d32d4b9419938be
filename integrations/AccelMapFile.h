#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// Key bindings in a GTK accelerator map file (Thunar's accels.scm, Nemo's and Caja's
// accels): one (gtk_accel_path "PATH" "KEY") line each; lines starting with ";" are the
// unbound defaults GTK writes out, commented.
class AccelMapFile {
  public:
    struct Binding {
        std::string accelPath;  // e.g. "<Actions>/ThunarActions/uca-action-ID"
        std::string key;        // e.g. "<Primary><Alt>v"; empty: no binding
        std::string label;      // what the user is told about
    };

    static std::string line(const Binding& binding);
    // True when no active line binds the key or gives the path a key already.
    static bool isFree(std::string_view text, const Binding& binding);
    // Adds each free binding first in file; the user is told of each one left out.
    static void add(const std::filesystem::path& file, const std::vector<Binding>& bindings,
                    std::string_view fileManager, IFileManagerEntries::Result& result);
    // Takes out exactly the lines add wrote; a file left empty goes.
    static void remove(const std::filesystem::path& file, const std::vector<Binding>& bindings,
                       IFileManagerEntries::Result& result);

    // The path under which GTK file managers (Nemo, Caja) bind a script of their Scripts
    // menu: "<Actions>/ScriptsGroup/script_" and the script's file URI with "/" as "\s".
    static std::string scriptAccelPath(const std::filesystem::path& script);
    // The binding of the script named label in folder; without a key when the script
    // there is not Ferrymark's, so that no key of ours runs a script of the user's.
    static Binding scriptBinding(const std::filesystem::path& folder, const std::string& label,
                                 const std::string& key);
};

}  // namespace ferrymark
