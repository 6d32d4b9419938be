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
struct InsertionLocation;
struct PromptAnswer;

// Why a command did nothing, so that the user can be told.
enum class PasteRefusal {
    NoFileManagerInFront,  // nothing or another application is in front
    NoLocation,            // the file manager in front did not tell its folder
    NotAFolder,            // the folder given to the command is not a local folder
    NoCopiedFiles,         // the clipboard holds no copied files
};

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
    // UI thread: tells the user why the command did nothing; detail is the log line's.
    std::function<void(PasteRefusal, const std::string& detail)> refuse = {};
    // Whether a transfer reads its copies back and compares them with the originals;
    // empty: moves do, copies do not.
    std::function<bool(bool move)> checksCopies = {};
    // UI thread: whether links inside folders are kept as links. Empty: they are followed.
    std::function<bool()> keepLinks = {};
    // UI thread: whether transfers to the same disk take turns. Empty: they do not.
    std::function<bool()> takeTurns = {};
};

// The Paste and Move commands: the copied files go into the folder of the file manager
// in front, on a worker of their own.
class UIHandler {
  public:
    // UI thread. True when a job was started.
    static bool performPaste(bool move, PasteContext& context);
    // UI thread. The same into a folder given to the command (a file manager's own menu
    // entry, the command line): no window in front is asked.
    static bool performPasteInto(bool move, const InsertionLocation& folder, PasteContext& context);

    // True when target is source or lies anywhere below it, compared literally, element
    // by element: /a/b holds /a/b/c but not /a/bc.
    static bool sourcePathLiesInTargetPath(const std::string& source, const std::string& target);

  private:
    // fromWindow: the focus goes back to the file manager after a prompt and at the end.
    static bool pasteInto(bool move, const std::string& target, bool fromWindow,
                          PasteContext& context);
};

}  // namespace ferrymark
