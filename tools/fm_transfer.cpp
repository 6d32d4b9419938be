// fm-transfer: runs one copy or move without a display, answering prompts from the
// command line. Prints every prompt, answer and log line, then the job's four counters.
#include <signal.h>

#include <atomic>
#include <boost/filesystem.hpp>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <vector>
#include "engine/InFlightRecord.h"

#include "engine/CopyHandler.h"
#include "tools/HeadlessHost.h"

namespace fs = boost::filesystem;
using namespace ferrymark;

namespace {

const char* const kUsage =
    "usage: fm-transfer [--move] [--answer KIND=CODE[,dontask]]... SOURCE... TARGET\n"
    "  KIND: file-conflict, folder-conflict, destination, disk-full, read-error,\n"
    "        replace-file, replace-folder\n"
    "  CODE: 1 keep both (new name), 2 stop, 3 replace, 4 skip, 5 merge; 0 continue\n"
    "  Answers of one kind are used in order; a prompt with none left is answered 2 (stop).\n";

std::optional<PromptKind> kindNamed(const std::string& name) {
    for (auto kind : {PromptKind::FileConflict, PromptKind::FolderConflict, PromptKind::Destination,
                      PromptKind::DiskFull, PromptKind::ReadError, PromptKind::ReplaceFile,
                      PromptKind::ReplaceFolder}) {
        if (name == promptKindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

bool parseAnswer(const std::string& text, HeadlessHost& host) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    const auto kind = kindNamed(text.substr(0, eq));
    std::string rest = text.substr(eq + 1);
    PromptAnswer answer;
    const auto comma = rest.find(',');
    if (comma != std::string::npos) {
        if (rest.substr(comma + 1) != "dontask") {
            return false;
        }
        answer.dontAsk = true;
        rest.resize(comma);
    }
    if (!kind || rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos ||
        rest.size() > 9) {
        return false;
    }
    answer.code = std::stoi(rest);
    host.addAnswer(*kind, answer);
    return true;
}

// Whether folder lies in or is item, compared element by element on absolute paths.
bool liesIn(const fs::path& folder, const fs::path& item) {
    auto f = folder.begin();
    for (auto i = item.begin(); i != item.end(); ++i, ++f) {
        if (f == folder.end() || *f != *i) {
            return false;
        }
    }
    return true;
}

int fail(const std::string& message) {
    std::cerr << "fm-transfer: " << message << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ferrymark::InFlightRecord::cleanUpLeftovers();
    HeadlessHost host;
    std::mutex outputLock;
    auto print = [&](const std::string& line) {
        std::lock_guard guard(outputLock);
        std::cout << line << std::endl;
    };

    bool move = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--move") {
            move = true;
        } else if (arg == "--answer" && i + 1 < argc) {
            if (!parseAnswer(argv[++i], host)) {
                return fail(std::string("bad answer \"") + argv[i] + "\"\n" + kUsage);
            }
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--") {
            paths.insert(paths.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.rfind("--", 0) == 0) {
            return fail("unknown option " + arg + "\n" + kUsage);
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string target = fs::absolute(paths.back()).lexically_normal().string();
    paths.pop_back();
    boost::system::error_code ec;
    if (!fs::is_directory(target, ec)) {
        // A path that can not be examined (too long, no search permission) may still be a
        // folder: say why instead.
        return fail(ec ? "can not reach the target " + target + ": " + ec.message()
                       : "the target is not a folder: " + target);
    }
    for (auto& source : paths) {
        source = fs::absolute(source).lexically_normal().string();
        while (source.size() > 1 && source.back() == '/') {
            source.pop_back();
        }
        if (liesIn(target, source)) {
            return fail("can not copy " + source + " into itself");
        }
    }

    host.setLogObserver([&](const std::string& line) { print("log: " + line); });
    host.setPromptObserver([&](const Prompt& prompt, const PromptAnswer& answer) {
        print(std::string("prompt: ") + promptKindName(prompt.kind) + ": " + prompt.message);
        print("answer: " + std::to_string(answer.code) + (answer.dontAsk ? ",dontask" : ""));
    });

    auto job = CopyHandler::initWithFiles(paths, host);
    if (!job) {
        return fail("can not create the job");
    }

    // Ctrl+C stops the job cleanly, so no partial file stays behind.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::atomic<bool> finished{false};
    std::thread signalWatcher([&] {
        const timespec poll{0, 100'000'000};
        while (!finished.load()) {
            if (sigtimedwait(&signals, nullptr, &poll) > 0) {
                host.post([&] { job->cancelTask(); });
            }
        }
    });

    std::thread worker([&] { move ? job->moveFilesTo(target) : job->copyFilesTo(target); });
    worker.join();
    finished = true;
    signalWatcher.join();

    print("totalItems: " + std::to_string(job->totalItems()));
    print("remainingItems: " + std::to_string(job->remainingItems()));
    print("totalData: " + std::to_string(job->totalData()));
    print("dataProcessed: " + std::to_string(job->dataProcessed()));
    return job->cancelled() ? 1 : 0;
}
