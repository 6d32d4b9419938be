#pragma once

#include <string>
#include <vector>

namespace ferrymark {

// Which question a prompt asks; hosts script answers by it and pick the dialog's look.
enum class PromptKind {
    FileConflict,
    FolderConflict,
    Destination,
    DiskFull,
    DiskError,  // a write or create failed for another reason than a full disk
    ReadError,
    ReplaceFile,
    ReplaceFolder,
    IntoItself,
    Quit,
};

enum class PromptImage {
    Caution,
    FileIcon,  // the icon of iconPath
};

enum class PromptOptions {
    Hidden,
    Shown,           // as the dialog lays them out
    ShownWithMerge,  // "Merge" (tag 5) inserted at the top and selected
    RetryOrSkip,     // only "Retry" (tag 0, selected) and "Skip" (tag 4)
};

// One question put to the user. The host shows it and answers with a PromptAnswer.
struct Prompt {
    PromptKind kind = PromptKind::Destination;
    PromptImage image = PromptImage::Caution;
    std::string iconPath;  // a conflict prompt's: the item being pasted
    // A conflict prompt's: the item already at the destination, to show beside iconPath's.
    std::string existingPath;
    std::string message;
    // The message before filling: its text with "%@" places, and what fills them in order.
    // A host that translates the text fills it anew; empty when the message stands alone.
    std::string format;
    std::vector<std::string> arguments;
    PromptOptions options = PromptOptions::Hidden;
    bool showDontAsk = false;
    std::string stopTitle;      // empty: as laid out
    std::string continueTitle;  // empty: as laid out
};

// Returns the name a prompt kind goes by on a command line ("file-conflict", ...).
const char* promptKindName(PromptKind kind);

}  // namespace ferrymark
