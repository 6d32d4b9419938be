#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "integrations/IFileManagerEntries.h"

namespace ferrymark {

// File handling the entry writers share: whole files of our own, marked by a line, and
// single lines put into the user's files and taken out again without touching the rest.
class EntryFiles {
  public:
    // The line that marks a whole file as ours.
    static constexpr std::string_view kMarker =
        "# Added by Ferrymark; its tray menu's \"Remove from File Managers\" takes it out.";

    static std::optional<std::string> read(const std::filesystem::path& path);
    // Writes through a temporary file and a rename; creates missing folders.
    static bool write(const std::filesystem::path& path, std::string_view bytes,
                      bool executable = false);

    // Writes a file of ours (its text holds kMarker) unless a file the user made is there.
    static void addOwnFile(const std::filesystem::path& path, std::string_view bytes,
                           bool executable, IFileManagerEntries::Result& result);
    // Each file of ours, as addOwnFile does; and each taken out, as removeOwnFile does.
    static IFileManagerEntries::Result addOwnFiles(
        const std::vector<std::pair<std::filesystem::path, std::string>>& files, bool executable);
    static IFileManagerEntries::Result removeOwnFiles(
        const std::vector<std::filesystem::path>& paths);
    // Deletes the file when it is ours.
    static void removeOwnFile(const std::filesystem::path& path,
                              IFileManagerEntries::Result& result);

    // text with line (and a newline) put first; a line already there is not doubled.
    static std::string withLine(std::string_view text, std::string_view line);
    // text without each whole line equal to line.
    static std::string withoutLine(std::string_view text, std::string_view line);
    // Whole lines of text, without their newlines.
    static std::vector<std::string_view> lines(std::string_view text);

    // A word for a POSIX shell: single-quoted unless plainly safe.
    static std::string shellQuoted(std::string_view word);
    // An argument of a desktop entry's Exec line: double-quoted unless plainly safe.
    static std::string execQuoted(std::string_view word);
    static std::string xmlEscaped(std::string_view text);

    // A file-manager script that runs "program flag" with the folder in the environment
    // variable envVar.
    static std::string script(std::string_view program, std::string_view flag,
                              std::string_view envVar);
    // A label as a file name: "/" cannot be in one.
    static std::string fileName(std::string_view label);
    // Writes text to path, or removes the file when text is empty.
    static void update(const std::filesystem::path& path, const std::string& text,
                       IFileManagerEntries::Result& result);

    // True when a program of that name is an executable file in searchPath (or $PATH).
    static bool hasProgram(std::string_view program,
                           const std::vector<std::filesystem::path>& searchPath);
};

}  // namespace ferrymark
