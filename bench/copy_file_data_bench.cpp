// copyFileData on one large file against a bare loop of 4096-byte read and write calls and
// against cp, interleaved round by round. Prints the best time of each and the ratios.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "engine/CopyHandler.h"
#include "engine/FileCopy.h"
#include "tools/HeadlessHost.h"

namespace fs = boost::filesystem;
using namespace ferrymark;

namespace {

void bareLoop(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char buffer[4096];
    for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) {
        if (::write(out, buffer, static_cast<std::size_t>(n)) != n) {
            std::perror("write");
            std::exit(1);
        }
    }
    ::close(in);
    ::close(out);
}

struct Timing {
    double wall;
    double cpu;  // this process's user and system time: steadier than wall time on a busy machine
};

double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

Timing measure(const std::function<void()>& work) {
    const double cpu = cpuNow();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpuNow() - cpu};
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "fm-bench";
    const std::uintmax_t size = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024) << 20;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    fs::create_directories(dir);
    const std::string source = (dir / "source.bin").string();
    if (!fs::exists(source) || fs::file_size(source) != size) {
        std::printf("writing a %ju MiB source file in %s\n", size >> 20, dir.c_str());
        std::string cmd = "head -c " + std::to_string(size) + " /dev/urandom > '" + source + "'";
        if (std::system(cmd.c_str()) != 0) {
            return 1;
        }
    }

    HeadlessHost host;
    std::vector<Timing> engine, bare;
    std::vector<double> cp;
    for (int round = 0; round < rounds; ++round) {
        const std::string out = (dir / "out.bin").string();
        fs::remove(out);
        engine.push_back(measure([&] {
            auto job = CopyHandler::initWithFiles({source}, host);
            PauseSemaphore gate(1);
            job->setPause_semaphore(&gate);
            copyFileData(source, out, *job);
            job->setPause_semaphore(nullptr);
        }));
        fs::remove(out);
        bare.push_back(measure([&] { bareLoop(source, out); }));
        fs::remove(out);
        cp.push_back(measure([&] {
                         const std::string cmd = "cp '" + source + "' '" + out + "'";
                         if (std::system(cmd.c_str()) != 0) {
                             std::exit(1);
                         }
                     }).wall);
        std::printf(
            "round %d: copyFileData %.3f s (cpu %.3f), bare loop %.3f s (cpu %.3f), cp %.3f s\n",
            round + 1, engine.back().wall, engine.back().cpu, bare.back().wall, bare.back().cpu,
            cp.back());
    }
    fs::remove(dir / "out.bin");
    auto best = [](const std::vector<Timing>& v, double Timing::*field) {
        double m = v.front().*field;
        for (const auto& t : v) {
            m = std::min(m, t.*field);
        }
        return m;
    };
    const double e = best(engine, &Timing::wall);
    const double b = best(bare, &Timing::wall);
    const double c = *std::min_element(cp.begin(), cp.end());
    const double ec = best(engine, &Timing::cpu);
    const double bc = best(bare, &Timing::cpu);
    std::printf(
        "best of %d: copyFileData %.3f s (cpu %.3f), bare loop %.3f s (cpu %.3f), cp %.3f s\n",
        rounds, e, ec, b, bc, c);
    std::printf("copyFileData / bare loop: %.3f wall, %.3f cpu\ncopyFileData / cp: %.3f\n", e / b,
                ec / bc, e / c);
    return 0;
}
