#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ferrymark {

// The menu entries (and, where the file manager has them, keys) that let a file manager
// run "ferrymark --paste FOLDER" and "ferrymark --move FOLDER" on its own folder. Every
// writer adds only its own files, lines or elements and removes exactly those, leaving
// what the user had byte for byte; nothing of the user's is overwritten.
class IFileManagerEntries {
  public:
    struct Options {
        std::filesystem::path home;  // the user's home folder
        std::string program;         // the program to run, an absolute path or "ferrymark"
        std::string pasteLabel;      // "Paste Here with Ferrymark"
        std::string moveLabel;       // "Move Here with Ferrymark"
        std::string pasteKey;        // a GTK accelerator, e.g. "<Primary><Alt>v"; empty: none
        std::string moveKey;
        // Where installed file managers are looked for; empty: $PATH.
        std::vector<std::filesystem::path> searchPath;
    };
    struct Result {
        bool ok = true;
        std::vector<std::string> notes;  // what was kept or left out, and why, for the user
    };

    virtual ~IFileManagerEntries() = default;

    // The file manager's name, e.g. "Thunar".
    virtual std::string_view name() const = 0;
    // True when the file manager's program is found.
    virtual bool isInstalled(const Options& options) const = 0;
    virtual Result add(const Options& options) = 0;
    virtual Result remove(const Options& options) = 0;
};

}  // namespace ferrymark
