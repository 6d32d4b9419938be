#include "app/UIHandler.h"

#include <vector>

#include "app/TransferThreads.h"
#include "engine/CopyHandler.h"
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

bool UIHandler::sourcePathLiesInTargetPath(const std::string& source, const std::string& target) {
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
    context.threads.start([job, target, move, fromWindow, &context] {
        job->setCurrentTarget(LocalPath::displayName(target));
        context.addWindowToMenu(job);
        move ? job->moveFilesTo(target) : job->copyFilesTo(target);
        context.host.runOnUiThread([&] {
            if (fromWindow && context.isApplicationActive()) {
                context.bridge.activateFileManager();
            }
        });
        context.removeWindowFromMenu(job);
    });
    return true;
}

}  // namespace ferrymark
