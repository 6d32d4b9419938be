#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/CopiedFiles.h"
#include "ui/TransferOutcome.h"

namespace ferrymark {

class CopyHandler;
class IFileManagerBridge;
class IJobHost;
class TransferThreads;
struct Prompt;
struct PromptAnswer;

// What a paste command needs from the application around it.
struct PasteContext {
    IFileManagerBridge& bridge;
    IJobHost& host;
    TransferThreads& threads;
    // Reads the copied files from the clipboard (once per command).
    std::function<CopiedFiles()> readClipboard;
    // UI thread: puts a prompt to the user.
    std::function<PromptAnswer(const Prompt&)> ask;
    // UI thread: whether one of our windows is the active one.
    std::function<bool()> isApplicationActive;
    // Called from the job's worker: list the job in the window menu, and take it off.
    std::function<void(const std::shared_ptr<CopyHandler>&)> addWindowToMenu;
    std::function<void(const std::shared_ptr<CopyHandler>&)> removeWindowFromMenu;
    // Called from the job's worker once it has ended, with a copy of how it went; the
    // receiver hands it to the UI thread. May be empty.
    std::function<void(TransferOutcome)> jobEnded;
};

// The Paste and Move commands: the copied files go into the folder of the file manager
// in front, on a worker of their own.
class UIHandler {
  public:
    // UI thread. True when a job was started.
    static bool performPaste(bool move, PasteContext& context);

    // True when target is source or lies anywhere below it, compared literally, element
    // by element: /a/b holds /a/b/c but not /a/bc.
    static bool sourcePathLiesInTargetPath(const std::string& source, const std::string& target);
};

}  // namespace ferrymark
