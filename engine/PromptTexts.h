#pragma once

#include <string>

#include "Prompt.h"

namespace ferrymark {

// The engine's prompts, filled with the item's name (the last element of its path).
class PromptTexts {
  public:
    // existingPath: the item that already holds the name, shown beside the source.
    static Prompt fileConflict(const std::string& sourcePath, const std::string& existingPath = {});
    static Prompt folderConflict(const std::string& sourcePath,
                                 const std::string& existingPath = {});
    static Prompt destination();
    static Prompt diskFull();
    // A write or create the disk refused with error (the system's text), not for room.
    static Prompt diskError(const std::string& sourcePath, const std::string& error);
    static Prompt readError(const std::string& sourcePath);
    static Prompt replaceFile(const std::string& sourcePath);
    static Prompt replaceFolder(const std::string& sourcePath);
    // A Replace that would remove the folder holding the item being copied.
    static Prompt replaceHoldsSource(const std::string& sourcePath,
                                     const std::string& destinationPath);
    static Prompt intoItself(const std::string& sourcePath);
    static Prompt quit();

    // Puts name in place of the first "%@".
    static std::string fill(const std::string& format, const std::string& name);
    // The last element of a path, as the messages name items.
    static std::string itemName(const std::string& path);
};

}  // namespace ferrymark
