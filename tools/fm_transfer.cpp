// fm-transfer: runs one copy or move without a display, answering prompts from the
// command line. Prints every prompt, answer and log line, then the job's four counters, and
// on the error stream what was not transferred.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <boost/filesystem.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FerrymarkVersion.h"
#include "engine/ConflictFacts.h"
#include "engine/CopyHandler.h"
#include "engine/FolderIdentity.h"
#include "engine/InFlightRecord.h"
#include "engine/TransferDriver.h"
#include "tools/HeadlessHost.h"

namespace fs = boost::filesystem;
using namespace ferrymark;

namespace {

const char* const kUsage =
    "usage: fm-transfer [--move] [--verify | --no-verify] [--no-dereference] [--progress]\n"
    "                   [--no-wait] [--answer KIND=CODE[,dontask]]...\n"
    "                   SOURCE... TARGET\n"
    "       fm-transfer --help | --version\n"
    "Copies (or with --move, moves) each SOURCE into the folder TARGET.\n"
    "  --verify     once the copies are flushed to the disk, read each one back from the\n"
    "               device and compare it with its original (XXH3); the default of --move\n"
    "  --no-verify  trust the disk; the default of a copy\n"
    "  A move removes an original only once its copy is flushed and, when verified, read\n"
    "  back and found equal.\n"
    "  --no-dereference  keep links as links (made anew with the same target text)\n"
    "        instead of copying what they point to; a SOURCE that is a link is kept too.\n"
    "        Without it, links are followed, and a link whose target does not exist is\n"
    "        listed as such.\n"
    "Owner and group are kept where the process may set them: always as root, and a\n"
    "group the user belongs to otherwise. Set-user-id and set-group-id bits are kept\n"
    "only with the owner and group. Permission bits, access lists and times are kept.\n"
    "A file that changes while it is copied is copied again (twice at most), then\n"
    "listed as changed while it was copied.\n"
    "  KIND: file-conflict, folder-conflict, destination, disk-full, disk-error,\n"
    "        read-error, replace-file, replace-folder\n"
    "  CODE: 1 keep both (new name), 2 stop, 3 replace, 4 skip, 5 merge; 0 continue\n"
    "        (disk-error, a write the disk refused for another reason than room: 0 retry,\n"
    "        4 skip, 2 stop)\n"
    "  Answers of one kind are used in order; a prompt with none left is answered 2 (stop).\n"
    "  --progress: about once a second, and once at the end, a line on standard error:\n"
    "        progress BYTES_DONE BYTES_TOTAL ITEMS_DONE ITEMS_TOTAL\n"
    "        (from when counting has ended; bytes done follow the disk, not its cache)\n"
    "Transfers to the same disk take turns: once counted, a transfer waits while another\n"
    "transfer (fm-transfer or Ferrymark, of this user) uses a disk of its sources or its\n"
    "target, and says on standard error what it waits for:\n"
    "        fm-transfer: waiting for its turn on the disk, after DESCRIPTION\n"
    "  All partitions of one disk are one disk, a network file system is its server.\n"
    "  The locks are in $XDG_RUNTIME_DIR/ferrymark/turns; without it nothing waits.\n"
    "  --no-wait    start at once, alongside whatever else uses the disks\n"
    "Standard output: each prompt, answer and log line, then the four counters. A\n"
    "conflict prompt is followed by one line for each of its two items:\n"
    "  existing: FACTS  and  incoming: FACTS, where FACTS is \"absent\", or comma-separated:\n"
    "  file, folder or other; N bytes (a file); N items, N bytes (a folder: \"more than\n"
    "  N items, at least N bytes\" when counting stopped after a second, \"at least\" when\n"
    "  part of it could not be read); modified YYYY-MM-DDTHH:MM:SS+ZZZZ; then newer,\n"
    "  larger, looks identical where they hold.\n"
    "Standard error: \"stopped\" when the transfer was stopped, and each item not\n"
    "transferred, one a line: PATH: REASON[: DETAIL] (control characters and backslashes\n"
    "in PATH written as \\xHH), then \"and N more\" when the list was cut short.\n"
    "  Reasons include \"the disk reported an error while saving it, so this copy may be\n"
    "  damaged\" (the flush failed), \"not copied: the disk reported an error while writing\n"
    "  it\" (disk-error answered 4) and \"the copy differs from the original\" (--verify).\n"
    "Ctrl+C or SIGTERM stops the transfer; no partial file stays behind.\n"
    "Exit status: 0 everything transferred, 1 stopped, 2 bad usage or an unusable\n"
    "source or target, 3 finished with items not transferred (including copies the disk\n"
    "failed to save or that differ from their originals).\n";

constexpr int kExitStopped = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotAll = 3;

std::optional<PromptKind> kindNamed(const std::string& name) {
    for (auto kind : {PromptKind::FileConflict, PromptKind::FolderConflict, PromptKind::Destination,
                      PromptKind::DiskFull, PromptKind::DiskError, PromptKind::ReadError,
                      PromptKind::ReplaceFile, PromptKind::ReplaceFolder}) {
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

// Whether folder lies in or is item: by path elements, or by identity, for a folder
// reached through a link into item.
bool liesIn(const fs::path& folder, const fs::path& item) {
    auto f = folder.begin();
    bool prefix = true;
    for (auto i = item.begin(); prefix && i != item.end(); ++i, ++f) {
        prefix = f != folder.end() && *f == *i;
    }
    return prefix || FolderIdentity::liesWithin(folder.string(), item.string());
}

// An absolute path that names the item itself: "src/" and "src/." name "src", not ".".
std::string itemPath(const std::string& given) {
    return TransferDriver::itemPath(fs::absolute(given).lexically_normal().string());
}

// One line per item: names may hold any byte but "/" and NUL.
std::string printable(const std::string& path) {
    std::string out;
    for (const unsigned char c : path) {
        if (c < 0x20 || c == 0x7f || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void printReport(const TransferReport& report, bool stopped) {
    if (stopped) {
        std::cerr << "fm-transfer: stopped\n";
    }
    if (report.empty()) {
        return;
    }
    std::cerr << "fm-transfer: " << report.total() << " not transferred:\n";
    for (const auto& item : report.entries()) {
        std::cerr << printable(item.path) << ": " << TransferReport::reasonText(item.reason)
                  << (item.detail.empty() ? "" : ": " + item.detail) << "\n";
    }
    if (report.omitted() > 0) {
        std::cerr << "and " << report.omitted() << " more\n";
    }
}

std::string localTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "";
    if (::localtime_r(&time, &parts) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &parts);
    }
    return text;
}

// The facts a conflict prompt shows of one of its items, for scripts.
std::string factsLine(const ItemFacts& item, ItemComparison::Side side,
                      const ItemComparison& comparison) {
    using Kind = ItemFacts::Kind;
    using Count = ItemFacts::Count;
    if (item.kind == Kind::Absent) {
        return "absent";
    }
    std::string line;
    auto counted = [](std::int64_t n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    if (item.kind == Kind::File) {
        line = "file, " + counted(item.size, " byte", " bytes");
    } else if (item.kind == Kind::Folder) {
        const std::string items = counted(item.items, " item, ", " items, ");
        const std::string bytes = counted(item.size, " byte", " bytes");
        switch (item.count) {
            case Count::CutShort:
                line = "folder, more than " + items + "at least " + bytes;
                break;
            case Count::Partial:
            case Count::Counting:
                line = "folder, at least " + items + "at least " + bytes;
                break;
            case Count::Exact:
                line = "folder, " + items + bytes;
                break;
        }
    } else {
        line = "other";
    }
    line += ", modified " + localTime(item.modified);
    if (comparison.newer == side) {
        line += ", newer";
    }
    if (comparison.larger == side) {
        line += ", larger";
    }
    if (comparison.identical) {
        line += ", looks identical";
    }
    return line;
}

// The job's counters as one line for scripts; nothing while it is still counting.
void printProgress(const CopyHandler& job) {
    const std::int64_t done = job.dataProcessed();
    if (done < 0) {
        return;
    }
    const std::int64_t items = job.totalItems();
    std::fprintf(stderr, "progress %lld %lld %lld %lld\n", static_cast<long long>(done),
                 static_cast<long long>(job.totalData()),
                 static_cast<long long>(items - job.remainingItems()),
                 static_cast<long long>(items));
    std::fflush(stderr);
}

int fail(const std::string& message) {
    std::cerr << "fm-transfer: " << message << "\n";
    return kExitUsage;
}

// Ctrl+C and SIGTERM are taken by one thread, which stops the job. The mask is set before
// any thread starts, so no other thread can take them and die of them.
sigset_t blockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);  // wakes the watcher when the job has ended
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int main(int argc, char** argv) {
    const sigset_t signals = blockStopSignals();
    ferrymark::InFlightRecord::cleanUpLeftovers();
    HeadlessHost host;
    std::mutex outputLock;
    auto print = [&](const std::string& line) {
        std::lock_guard guard(outputLock);
        std::cout << line << std::endl;
    };

    bool move = false;
    bool progress = false;
    std::optional<bool> verify;
    bool keepLinks = false;
    bool wait = true;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--move") {
            move = true;
        } else if (arg == "--progress") {
            progress = true;
        } else if (arg == "--verify" || arg == "--no-verify") {
            verify = arg == "--verify";
        } else if (arg == "--no-dereference") {
            keepLinks = true;
        } else if (arg == "--no-wait") {
            wait = false;
        } else if (arg == "--answer" && i + 1 < argc) {
            if (!parseAnswer(argv[++i], host)) {
                return fail(std::string("bad answer \"") + argv[i] + "\"\n" + kUsage);
            }
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "fm-transfer " << FERRYMARK_VERSION << "\n";
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
        return kExitUsage;
    }
    const std::string target = itemPath(paths.back());
    paths.pop_back();
    boost::system::error_code ec;
    if (!fs::is_directory(target, ec)) {
        // A path that can not be examined (too long, no search permission) may still be a
        // folder: say why instead.
        return fail(ec ? "can not reach the target " + target + ": " + ec.message()
                       : "the target is not a folder: " + target);
    }
    for (auto& source : paths) {
        source = itemPath(source);
        // A link kept as a link is copied alone, whatever it points to.
        const bool keptLink = keepLinks && fs::is_symlink(fs::symlink_status(source, ec));
        if (!keptLink && liesIn(target, source)) {
            return fail("can not copy " + source + " into itself");
        }
    }

    host.setLogObserver([&](const std::string& line) { print("log: " + line); });
    host.setPromptObserver([&](const Prompt& prompt, const PromptAnswer& answer) {
        print(std::string("prompt: ") + promptKindName(prompt.kind) + ": " + prompt.message);
        if (!prompt.existingPath.empty()) {
            ConflictFacts facts(prompt.existingPath, prompt.iconPath);
            facts.waitForCounts();
            const ItemComparison comparison = facts.comparison();
            using Side = ItemComparison::Side;
            print("existing: " + factsLine(facts.existing(), Side::Existing, comparison));
            print("incoming: " + factsLine(facts.incoming(), Side::Incoming, comparison));
        }
        print("answer: " + std::to_string(answer.code) + (answer.dontAsk ? ",dontask" : ""));
    });

    auto job = CopyHandler::initWithFiles(paths, host);
    if (!job) {
        return fail("can not create the job");
    }
    job->setKeepLinks(keepLinks);
    job->setTakesTurns(wait);
    job->setTurnObserver([](const TurnHolder& holder) {
        std::fprintf(stderr, "fm-transfer: waiting for its turn on the disk, after %s\n",
                     printable(holder.describe()).c_str());
        std::fflush(stderr);
    });

    job->setVerify(verify.value_or(move));

    std::atomic<bool> finished{false};
    std::thread signalWatcher([&] {
        for (;;) {
            int signal = 0;
            sigwait(&signals, &signal);
            if (finished.load()) {
                return;
            }
            if (signal == SIGINT || signal == SIGTERM) {
                host.post([&] { job->cancelTask(); });
            }
        }
    });

    std::mutex progressLock;
    std::condition_variable progressWake;
    std::thread progressReporter;
    if (progress) {
        progressReporter = std::thread([&] {
            std::unique_lock lock(progressLock);
            while (!progressWake.wait_for(lock, std::chrono::seconds(1),
                                          [&] { return finished.load(); })) {
                printProgress(*job);
            }
        });
    }

    std::thread worker([&] { move ? job->moveFilesTo(target) : job->copyFilesTo(target); });
    worker.join();
    {
        std::lock_guard lock(progressLock);
        finished = true;
    }
    progressWake.notify_all();
    if (progressReporter.joinable()) {
        progressReporter.join();
        printProgress(*job);
    }
    pthread_kill(signalWatcher.native_handle(), SIGUSR1);
    signalWatcher.join();

    print("totalItems: " + std::to_string(job->totalItems()));
    print("remainingItems: " + std::to_string(job->remainingItems()));
    print("totalData: " + std::to_string(job->totalData()));
    print("dataProcessed: " + std::to_string(job->dataProcessed()));
    std::cout.flush();
    printReport(job->report(), job->cancelled());
    if (job->cancelled()) {
        return kExitStopped;
    }
    return job->report().empty() ? 0 : kExitNotAll;
}
