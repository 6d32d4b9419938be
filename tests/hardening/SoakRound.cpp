#include "SoakRound.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "FdTree.h"
#include "PromptResponder.h"
#include "engine/ConflictPolicy.h"
#include "engine/CopyHandler.h"
#include "ui/SystemLog.h"

namespace ferrymark::test {
namespace {

// A content fingerprint, a word at a time: the checks read every byte copied, and under
// the thread sanitizer each access costs.
std::uint64_t fingerprint(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ull ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ word) * 1099511628211ull;
        h ^= h >> 29;
    }
    for (; i < bytes.size(); ++i) {
        h = (h ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    }
    return h;
}

// The bytes of a regular file, or nothing when no regular file is there. Read in large
// blocks: under the thread sanitizer a byte-wise stream costs more than the copy.
std::optional<std::string> readFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    for (ssize_t n = 0; done < bytes.size(); done += static_cast<std::size_t>(n)) {
        n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

void makeFolders(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        ::mkdir(path.substr(0, at).c_str(), 0755);
    }
    ::mkdir(path.c_str(), 0755);
}

std::string lastName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// A conflict over a file is answered by the first letter of its name.
ConflictPolicy answerFor(const std::string& name) {
    switch (name.empty() ? 'f' : name[0]) {
        case 'r':
            return Policy::Replace;
        case 's':
            return Policy::Skip;
        case 'n':
            return Policy::CopyWithNewName;
        default:
            return Policy::Stop;
    }
}

// Where Keep Both puts the file: " copy" before the extension.
std::string keptBothName(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    const std::size_t dot = relative.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return relative + " copy";
    }
    return relative.substr(0, dot) + " copy" + relative.substr(dot);
}

std::string quotedName(const QString& message) {
    const int open = message.indexOf(QChar(0x201C));
    const int close = message.indexOf(QChar(0x201D), open + 1);
    if (open < 0 || close < 0) {
        return {};
    }
    return message.mid(open + 1, close - open - 1).toStdString();
}

}  // namespace

struct SoakRound::FileFact {
    std::string relative;  // below the job's source folder and its target alike
    std::uint64_t hash = 0;
    std::size_t size = 0;
    bool preExisting = false;  // an older file stands at the same place in the target
    std::uint64_t preHash = 0;
    ConflictPolicy answer = Policy::Ask;
};

struct SoakRound::Job {
    int index = 0;
    bool move = false;
    std::string source;  // the folder holding the job's top-level items
    std::string target;
    std::vector<std::string> items;  // top-level names
    std::vector<FileFact> files;
    std::unique_ptr<CopyHandler> handler;
    std::thread worker;
    std::atomic<bool> done{false};
    // The outcome, read once the worker has returned.
    bool cancelled = false;
    std::int64_t totalItems = 0;
    std::int64_t remainingItems = 0;
    std::int64_t totalData = 0;
    std::int64_t dataProcessed = 0;
};

SoakRound::SoakRound(IJobHost& host, Options options)
    : host_(host), options_(options), random_(options.seed) {}

SoakRound::~SoakRound() {
    if (!root_.empty()) {
        FdTree::removeAll(root_);
    }
}

void SoakRound::buildJob(Job& job, const std::string& target) {
    job.source = root_ + "/src" + std::to_string(job.index);
    job.target = target;
    makeFolders(job.source);
    makeFolders(target);
    const std::string tree = "j" + std::to_string(job.index) + "-tree";
    const char prefixes[] = "ffffrrssnn";

    std::vector<std::string> folders{tree};
    for (int i = 0, count = 2 + random_() % 4; i < count; ++i) {
        const std::string parent = folders[random_() % folders.size()];
        if (std::count(parent.begin(), parent.end(), '/') < 3) {
            folders.push_back(parent + "/d" + std::to_string(i));
        }
    }
    for (const auto& folder : folders) {
        makeFolders(job.source + "/" + folder);
    }

    // Contents are slices of one random pool at random places: quick to make, and no two
    // files alike but by chance.
    if (pool_.empty()) {
        pool_.resize(4 << 20);
        for (std::size_t i = 0; i < pool_.size(); i += 4) {
            const std::uint32_t word = random_();
            std::memcpy(pool_.data() + i, &word, 4);
        }
    }
    auto content = [&](std::size_t size) {
        std::string bytes;
        bytes.reserve(size);
        while (bytes.size() < size) {
            const std::size_t from = random_() % pool_.size();
            bytes.append(pool_, from, std::min(size - bytes.size(), pool_.size() - from));
        }
        return bytes;
    };
    auto size = [&] {
        const unsigned r = random_() % 100;
        const std::size_t cap = std::max<std::size_t>(options_.bytesPerJob / 4, 256 << 10);
        if (r < 15) {
            return std::size_t{0};
        }
        if (r < 35) {
            return std::size_t{random_() % 5000};
        }
        if (r < 50) {
            const std::size_t edges[] = {4095, 4096, 4097, 8192, 12289};
            return edges[random_() % 5];
        }
        if (r < 95) {
            return std::size_t{(16 << 10) + random_() % (240 << 10)};
        }
        return std::size_t{(256 << 10) + random_() % cap};
    };
    auto addFile = [&](const std::string& relative) {
        const std::string bytes = content(size());
        writeFile(job.source + "/" + relative, bytes);
        job.files.push_back({relative, fingerprint(bytes), bytes.size()});
    };

    std::size_t budget = 0;
    for (int i = 0; budget < options_.bytesPerJob && i < 200; ++i) {
        const std::string name = std::string(1, prefixes[random_() % 10]) + "-" +
                                 std::to_string(i) + (random_() % 3 ? ".bin" : "");
        addFile(folders[random_() % folders.size()] + "/" + name);
        budget += job.files.back().size;
    }
    const std::string top =
        std::string(1, prefixes[random_() % 10]) + "-j" + std::to_string(job.index) + "-top.bin";
    addFile(top);
    job.items = {tree, top};

    // Older items in the target: the tree's folder (merged), and files that the prompts
    // settle by their names.
    const bool treeThere = random_() % 10 < 7;
    if (treeThere) {
        makeFolders(target + "/" + tree);
    }
    for (auto& file : job.files) {
        const ConflictPolicy answer = answerFor(lastName(file.relative));
        const bool inTree = file.relative.rfind(tree + "/", 0) == 0;
        if (answer == Policy::Stop || (inTree && !treeThere) || random_() % 10 >= 6) {
            continue;
        }
        const std::string old = "old " + file.relative;
        const std::string path = target + "/" + file.relative;
        makeFolders(path.substr(0, path.rfind('/')));
        writeFile(path, old);
        file.preExisting = true;
        file.preHash = fingerprint(old);
        file.answer = answer;
    }
}

bool SoakRound::allDone() const {
    return std::all_of(jobs_.begin(), jobs_.end(),
                       [](const auto& job) { return job->done.load(); });
}

void SoakRound::chaos(Report& report) {
    std::vector<Job*> live;
    for (auto& job : jobs_) {
        if (!job->done.load()) {
            live.push_back(job.get());
        }
    }
    if (live.empty()) {
        return;
    }
    CopyHandler& job = *live[random_() % live.size()]->handler;
    const unsigned r = random_() % 100;
    if (job.paused()) {
        // Pauses last a while: the other jobs go on meanwhile. A stopped job stays paused.
        if (r < 20 && !job.cancelled()) {
            job.togglePause();
            ++report.resumes;
        }
    } else if (r < 35) {
        job.togglePause();
        report.pauses += job.paused();
    } else if (r < 38 && report.stops < 2) {
        job.cancelTask();
        ++report.stops;
    }
}

SoakRound::Report SoakRound::run() {
    Report report;
    const auto started = std::chrono::steady_clock::now();
    root_ = FdTree::makeScratch();

    const int moving = static_cast<int>(random_() % 5);
    const std::string targets[] = {root_ + "/own0", root_ + "/shared", root_ + "/shared",
                                   root_ + "/shared", root_ + "/own4"};
    for (int i = 0; i < 5; ++i) {
        auto job = std::make_unique<Job>();
        job->index = i;
        job->move = i == moving;
        buildJob(*job, targets[i]);
        jobs_.push_back(std::move(job));
    }

    std::mutex logLock;
    std::vector<std::string> logLines;
    SystemLog::setSinkForTesting([&](const std::string& line) {
        std::lock_guard guard(logLock);
        logLines.push_back(line);
    });
    PromptResponder responder([&](const QString& message) -> std::int32_t {
        if (message.startsWith(QStringLiteral("A directory named"))) {
            return Policy::Merge;
        }
        if (message.startsWith(QStringLiteral("An item named"))) {
            const ConflictPolicy answer = answerFor(quotedName(message));
            if (answer != Policy::Stop) {
                return answer;
            }
        }
        report.failures.push_back("unexpected prompt: " + message.toStdString());
        return Policy::Stop;
    });

    // A UI thread stuck on the gate cannot report its own hang.
    std::mutex watchLock;
    std::condition_variable watchWake;
    bool finished = false;
    std::thread watchdog([&] {
        std::unique_lock guard(watchLock);
        if (watchWake.wait_for(guard, options_.timeout + std::chrono::seconds(120),
                               [&] { return finished; })) {
            return;
        }
        std::fprintf(stderr, "soak: HUNG (seed %u); the UI thread never came back\n",
                     options_.seed);
        for (const auto& job : jobs_) {
            std::fprintf(stderr, "  job %d: done %d paused %d cancelled %d data %lld/%lld\n",
                         job->index, int(job->done.load()), int(job->handler->paused()),
                         int(job->handler->cancelled()),
                         static_cast<long long>(job->handler->dataProcessed()),
                         static_cast<long long>(job->handler->totalData()));
        }
        std::fflush(stderr);
        std::_Exit(3);
    });

    for (auto& job : jobs_) {
        std::vector<std::string> sources;
        for (const auto& item : job->items) {
            sources.push_back(job->source + "/" + item);
        }
        job->handler = CopyHandler::initWithFiles(sources, host_);
        if (!job->handler) {
            report.failures.push_back("job " + std::to_string(job->index) + " not made");
        }
    }
    if (!report.failures.empty()) {
        {
            std::lock_guard guard(watchLock);
            finished = true;
        }
        watchWake.notify_all();
        watchdog.join();
        SystemLog::setSinkForTesting({});
        return report;
    }
    for (auto& job : jobs_) {
        Job* j = job.get();
        j->worker = std::thread([j] {
            j->move ? j->handler->moveFilesTo(j->target) : j->handler->copyFilesTo(j->target);
            j->done = true;
        });
    }

    const auto transferStarted = std::chrono::steady_clock::now();
    QTimer disturb;
    disturb.setSingleShot(true);
    QObject::connect(&disturb, &QTimer::timeout, [&] {
        chaos(report);
        disturb.start(1 + static_cast<int>(random_() % 15));
    });
    disturb.start(5);

    QEventLoop loop;
    QTimer poll;
    const auto deadline = started + options_.timeout;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (allDone() || std::chrono::steady_clock::now() > deadline) {
            loop.quit();
        }
    });
    poll.start(20);
    loop.exec();
    disturb.stop();

    if (!allDone()) {
        report.hung = true;
        std::string states =
            "hang: jobs still running after " + std::to_string(options_.timeout.count()) + " s:";
        for (auto& job : jobs_) {
            if (!job->done.load()) {
                states += " job " + std::to_string(job->index) +
                          (job->handler->paused() ? " (paused)" : "") +
                          (job->handler->cancelled() ? " (stopped)" : "");
                // Let it wind down so the round can still be checked.
                if (job->handler->paused()) {
                    job->handler->togglePause();
                }
                job->handler->cancelTask();
            }
        }
        report.failures.push_back(states);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (allDone()) {
                loop.quit();
            }
        });
        loop.exec();
    }
    report.transferSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - transferStarted).count();
    {
        std::lock_guard guard(watchLock);
        finished = true;
    }
    watchWake.notify_all();
    watchdog.join();

    for (auto& job : jobs_) {
        job->worker.join();
        CopyHandler& h = *job->handler;
        job->cancelled = h.cancelled();
        job->totalItems = h.totalItems();
        job->remainingItems = h.remainingItems();
        job->totalData = h.totalData();
        job->dataProcessed = h.dataProcessed();
        job->handler.reset();
    }
    SystemLog::setSinkForTesting({});
    report.prompts = responder.answered();
    for (const auto& line : logLines) {
        if (line.find("Can not") != std::string::npos || line.find("Error") != std::string::npos) {
            report.failures.push_back("unexpected log line: " + line);
        }
    }
    verify(report);
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return report;
}

void SoakRound::verify(Report& report) {
    std::map<std::string, std::set<std::string>> allowed;  // target -> relative file paths
    for (const auto& job : jobs_) {
        verifyJob(*job, report);
        for (const auto& file : job->files) {
            allowed[job->target].insert(file.relative);
            if (file.preExisting && file.answer == Policy::CopyWithNewName) {
                allowed[job->target].insert(keptBothName(file.relative));
            }
        }
    }
    for (const auto& [target, files] : allowed) {
        for (const auto& [relative, entry] : FdTree::snapshot(target, false)) {
            if (entry.kind != FdTree::Entry::Kind::Folder && !files.count(relative)) {
                report.failures.push_back("stray item in " + target + ": " +
                                          FdTree::escaped(relative));
            }
        }
    }
}

void SoakRound::verifyJob(const Job& job, Report& report) {
    const std::string label = "job " + std::to_string(job.index) + (job.move ? " (move)" : "");
    const bool finished = !job.cancelled;
    auto fail = [&](const std::string& what, const std::string& relative) {
        report.failures.push_back(label + ": " + what + ": " + FdTree::escaped(relative));
    };

    std::int64_t skipped = 0;
    std::int64_t skippedBytes = 0;
    std::int64_t sizes = 0;
    std::set<std::string> incomplete;  // top-level items with a part not in the target
    for (const auto& file : job.files) {
        report.files += 1;
        report.bytes += file.size;
        sizes += static_cast<std::int64_t>(file.size);
        const auto is = [](const std::optional<std::string>& got, std::uint64_t hash,
                           std::size_t size) {
            return got && got->size() == size && fingerprint(*got) == hash;
        };
        const auto isSource = [&](const std::optional<std::string>& got) {
            return is(got, file.hash, file.size);
        };
        const auto isOld = [&](const std::optional<std::string>& got) {
            return is(got, file.preHash, ("old " + file.relative).size());
        };
        const auto there = readFile(job.target + "/" + file.relative);
        bool copied = isSource(there);

        if (!file.preExisting) {
            if (finished ? !copied : there && !copied) {
                fail(there ? "differs from its source" : "missing", file.relative);
            }
        } else if (file.answer == Policy::Replace) {
            if (finished ? !copied : there && !copied && !isOld(there)) {
                fail("replaced wrongly", file.relative);
            }
        } else if (file.answer == Policy::Skip) {
            ++skipped;
            skippedBytes += static_cast<std::int64_t>(file.size);
            copied = false;
            if (!isOld(there)) {
                fail("a skipped file's older copy changed", file.relative);
            }
        } else {
            const auto kept = readFile(job.target + "/" + keptBothName(file.relative));
            copied = isSource(kept);
            if (!isOld(there)) {
                fail("keep both changed the older file", file.relative);
            }
            if (finished ? !copied : kept && !copied) {
                fail("keep both copy wrong", keptBothName(file.relative));
            }
        }
        if (!copied) {
            incomplete.insert(file.relative.substr(0, file.relative.find('/')));
        }

        // A source stays whole unless a Move removed its item, which only a complete copy
        // of the item allows.
        const auto original = readFile(job.source + "/" + file.relative);
        const std::string item = file.relative.substr(0, file.relative.find('/'));
        struct stat st {};
        const bool itemThere = ::lstat((job.source + "/" + item).c_str(), &st) == 0;
        if (itemThere ? !isSource(original) : !job.move) {
            fail("the source changed", file.relative);
        }
    }
    for (const auto& item : job.items) {
        struct stat st {};
        const bool itemThere = ::lstat((job.source + "/" + item).c_str(), &st) == 0;
        if (!itemThere && incomplete.count(item)) {
            fail("a Move removed a source it had not copied", item);
        }
        if (job.move && finished && itemThere && !incomplete.count(item)) {
            fail("a finished Move kept a source it had copied", item);
        }
    }
    if (finished) {
        if (job.totalItems != static_cast<std::int64_t>(job.files.size()) ||
            job.totalData != sizes || job.remainingItems != skipped ||
            job.dataProcessed != sizes - skippedBytes) {
            fail("counters do not add up: items " + std::to_string(job.totalItems) + " remaining " +
                     std::to_string(job.remainingItems) + " (skipped " + std::to_string(skipped) +
                     ") data " + std::to_string(job.dataProcessed) + "/" +
                     std::to_string(job.totalData),
                 "");
        }
    }
    report.jobs.push_back(label + " into " + lastName(job.target) + ": " +
                          (finished ? "finished" : "stopped") + ", items " +
                          std::to_string(job.totalItems - job.remainingItems) + "/" +
                          std::to_string(job.totalItems) + ", bytes " +
                          std::to_string(job.dataProcessed) + "/" + std::to_string(job.totalData));
}

}  // namespace ferrymark::test
