#include "app/UIHandler.h"

#include <chrono>
#include <vector>

#include "app/TransferThreads.h"
#include "engine/CopyHandler.h"
#include "engine/FolderIdentity.h"
#include "engine/PromptTexts.h"
#include "platform/IFileManagerBridge.h"
#include "platform/LocalPath.h"

namespace ferrymark {
namespace {

// "/a/b" gives "/", "a", "b"; empty elements (doubled or trailing separators) are dropped.
std::vector<std::string> elements(const std::string& path) {
    std::vector<std::string> out;
    std::size_t start = 0;
    if (!path.empty() && path[0] == '/') {
        out.emplace_back("/");
        start = 1;
    }
    while (start < path.size()) {
        const auto end = path.find('/', start);
        const auto stop = end == std::string::npos ? path.size() : end;
        if (stop > start) {
            out.push_back(path.substr(start, stop - start));
        }
        start = stop + 1;
    }
    return out;
}

}  // namespace

namespace {

bool liesInByPath(const std::string& source, const std::string& target) {
    if (target.size() < source.size() || target.compare(0, source.size(), source) != 0) {
        return false;
    }
    const auto s = elements(source);
    const auto t = elements(target);
    if (s.empty() || t.size() < s.size()) {
        return false;
    }
    return s.back() == t[s.size() - 1];
}

}  // namespace

bool UIHandler::sourcePathLiesInTargetPath(const std::string& source, const std::string& target) {
    // The path's words, and what the folders are: a target reached through a link into
    // the source is inside it all the same.
    return liesInByPath(source, target) || FolderIdentity::liesWithin(target, source);
}

namespace {

void refuse(PasteContext& context, bool move, PasteRefusal why, const std::string& detail) {
    context.host.log(std::string(move ? "Move" : "Paste") + ": " + detail);
    if (context.refuse) {
        context.refuse(why, detail);
    }
}

}  // namespace

bool UIHandler::performPaste(bool move, PasteContext& context) {
    if (!context.bridge.isFileManagerFrontmost()) {
        refuse(context, move, PasteRefusal::NoFileManagerInFront,
               "no file manager window is in front");
        return false;
    }
    const InsertionLocation location = context.bridge.insertionLocation();
    if (!location.path) {
        refuse(context, move, PasteRefusal::NoLocation, location.whyNot);
        return false;
    }
    return pasteInto(move, *location.path, true, context);
}

bool UIHandler::performPasteInto(bool move, const InsertionLocation& folder,
                                 PasteContext& context) {
    if (!folder.path) {
        refuse(context, move, PasteRefusal::NotAFolder, folder.whyNot);
        return false;
    }
    return pasteInto(move, *folder.path, false, context);
}

bool UIHandler::pasteInto(bool move, const std::string& target, bool fromWindow,
                          PasteContext& context) {
    const CopiedFiles copied = context.readClipboard();
    if (copied.paths.empty()) {
        refuse(context, move, PasteRefusal::NoCopiedFiles, "no copied files on the clipboard");
        return false;
    }

    std::vector<std::string> accepted;
    bool dontAsk = false;
    for (const auto& source : copied.paths) {
        if (!sourcePathLiesInTargetPath(source, target)) {
            accepted.push_back(source);
            continue;
        }
        if (dontAsk) {
            continue;
        }
        context.host.activateApplication();
        const PromptAnswer answer = context.ask(PromptTexts::intoItself(source));
        dontAsk = answer.dontAsk;
        if (fromWindow && context.isApplicationActive()) {
            context.bridge.activateFileManager();
        }
        if (answer.code == kAnswerStop) {
            return false;
        }
    }
    if (accepted.empty()) {
        return false;
    }

    std::shared_ptr<CopyHandler> job = CopyHandler::initWithFiles(accepted, context.host);
    if (!job) {
        return false;
    }
    job->setVerify(context.checksCopies ? context.checksCopies(move) : move);
    job->setKeepLinks(context.keepLinks && context.keepLinks());
    job->setTakesTurns(context.takeTurns && context.takeTurns());
    job->setTargetPath(target);
    job->setMoving(move);
    context.threads.start([job, target, move, fromWindow, &context] {
        job->setCurrentTarget(LocalPath::displayName(target));
        context.addWindowToMenu(job);
        const auto began = std::chrono::steady_clock::now();
        move ? job->moveFilesTo(target) : job->copyFilesTo(target);
        // Copied now: the job goes with this work item, before the user may ask.
        TransferOutcome outcome =
            TransferOutcome::of(*job, move,
                                std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - began));
        context.host.runOnUiThread([&] {
            if (fromWindow && context.isApplicationActive()) {
                context.bridge.activateFileManager();
            }
        });
        context.removeWindowFromMenu(job);
        if (context.jobEnded) {
            context.jobEnded(std::move(outcome));
        }
    });
    return true;
}

}  // namespace ferrymark
