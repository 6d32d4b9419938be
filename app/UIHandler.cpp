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

bool UIHandler::performPaste(bool move, PasteContext& context) {
    const char* command = move ? "Move" : "Paste";
    if (!context.bridge.isFileManagerFrontmost()) {
        context.host.log(std::string(command) + ": no file manager window is in front");
        return false;
    }
    const InsertionLocation location = context.bridge.insertionLocation();
    if (!location.path) {
        context.host.log(std::string(command) + ": " + location.whyNot);
        return false;
    }
    const std::string target = *location.path;

    const CopiedFiles copied = context.readClipboard();
    if (copied.paths.empty()) {
        context.host.log(std::string(command) + ": no copied files on the clipboard");
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
        if (context.isApplicationActive()) {
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
    context.threads.start([job, target, move, &context] {
        job->setCurrentTarget(LocalPath::displayName(target));
        context.addWindowToMenu(job);
        move ? job->moveFilesTo(target) : job->copyFilesTo(target);
        context.host.runOnUiThread([&] {
            if (context.isApplicationActive()) {
                context.bridge.activateFileManager();
            }
        });
        context.removeWindowFromMenu(job);
    });
    return true;
}

}  // namespace ferrymark
