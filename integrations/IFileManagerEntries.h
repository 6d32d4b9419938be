#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ferrymark {

// The menu entries (and, where the file manager has them, keys) that let a file manager
// run "ferrymark --paste FOLDER" and "ferrymark --move FOLDER" on its own window. Every
// writer adds only its own marked lines, files or elements and removes exactly those,
// leaving what the user had byte for byte.
class IFileManagerEntries {
  public:
    struct Options {
        std::filesystem::path home;  // the user's home folder
        std::string program;         // the command to run, e.g. "ferrymark"
        std::string pasteLabel;      // "Paste Here with Ferrymark"
        std::string moveLabel;       // "Move Here with Ferrymark"
        std::string pasteKey;        // e.g. "<Primary><Alt>v"; empty: no key
        std::string moveKey;         // e.g. "<Primary><Alt>m"; empty: no key
    };
    struct Result {
        bool ok = true;
        std::string detail;  // what was done or why not, for the log and the message
    };

    virtual ~IFileManagerEntries() = default;

    // The name shown to the user, e.g. "Thunar".
    virtual std::string_view name() const = 0;
    // True when the file manager is installed on this system.
    virtual bool isInstalled() const = 0;
    // True when the file manager lets entries have keys of their own.
    virtual bool supportsKeys() const = 0;
    virtual Result add(const Options& options) = 0;
    virtual Result remove(const Options& options) = 0;
};

}  // namespace ferrymark
