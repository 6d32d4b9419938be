#include "engine/Prompt.h"

namespace ferrymark {

const char* promptKindName(PromptKind kind) {
    switch (kind) {
        case PromptKind::FileConflict:
            return "file-conflict";
        case PromptKind::FolderConflict:
            return "folder-conflict";
        case PromptKind::Destination:
            return "destination";
        case PromptKind::DiskFull:
            return "disk-full";
        case PromptKind::DiskError:
            return "disk-error";
        case PromptKind::ReadError:
            return "read-error";
        case PromptKind::ReplaceFile:
            return "replace-file";
        case PromptKind::ReplaceFolder:
            return "replace-folder";
        case PromptKind::IntoItself:
            return "into-itself";
        case PromptKind::Quit:
            return "quit";
    }
    return "unknown";
}

}  // namespace ferrymark
