#include "ToolRun.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace ferrymark::test {
namespace {

std::string readBack(int fd) {
    std::string out;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

}  // namespace

ToolRun ToolRun::run(const std::string& program, const std::vector<std::string>& args,
                     int workingFolderFd, std::chrono::seconds timeout) {
    // Files rather than pipes: a chatty child never blocks on a full pipe.
    const int outFd = ::memfd_create("tool-out", 0);
    const int errFd = ::memfd_create("tool-err", 0);
    if (outFd < 0 || errFd < 0) {
        throw std::runtime_error("memfd_create failed");
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        if ((workingFolderFd >= 0 && ::fchdir(workingFolderFd) != 0) || ::dup2(outFd, 1) < 0 ||
            ::dup2(errFd, 2) < 0) {
            ::_exit(126);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }

    ToolRun result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = readBack(outFd);
    result.err = readBack(errFd);
    return result;
}

std::vector<std::string> ToolRun::logLines() const {
    // A name may hold a newline: a log line runs on until the next line that starts like
    // one of the program's own lines.
    static const char* const kOwn[] = {
        "log: ",        "prompt: ",    "answer: ",         "existing: ",     "incoming: ",
        "totalItems: ", "totalData: ", "remainingItems: ", "dataProcessed: "};
    std::vector<std::string> lines;
    bool inLog = false;
    for (std::size_t start = 0; start < out.size();) {
        auto end = out.find('\n', start);
        if (end == std::string::npos) {
            end = out.size();
        }
        const std::string line = out.substr(start, end - start);
        start = end + 1;
        bool own = false;
        for (const char* lead : kOwn) {
            own = own || line.rfind(lead, 0) == 0;
        }
        if (line.rfind("log: ", 0) == 0) {
            lines.push_back(line.substr(5));
            inLog = true;
        } else if (own) {
            inLog = false;
        } else if (inLog) {
            lines.back() += "\n" + line;
        }
    }
    return lines;
}

bool ToolRun::printed(const std::string& part) const {
    return out.find(part) != std::string::npos || err.find(part) != std::string::npos;
}

std::string ToolRun::summary() const {
    std::string s = "exit " + std::to_string(exitCode);
    if (signal != 0) {
        s += ", signal " + std::to_string(signal);
    }
    if (timedOut) {
        s += ", timed out";
    }
    auto cut = [](const std::string& text) {
        return text.size() > 3000
                   ? text.substr(0, 1500) + "\n...\n" + text.substr(text.size() - 1500)
                   : text;
    };
    return s + "\nstdout:\n" + cut(out) + "\nstderr:\n" + cut(err);
}

}  // namespace ferrymark::test
