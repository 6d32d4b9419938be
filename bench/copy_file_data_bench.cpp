// copyFileData on one large file against a bare loop of 4096-byte read and write calls and
// against cp, interleaved round by round. Prints the best time of each and the ratios.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
    std::vector<double> engine, bare, cp;
    for (int round = 0; round < rounds; ++round) {
        const std::string out = (dir / "out.bin").string();
        fs::remove(out);
        engine.push_back(seconds([&] {
            auto job = CopyHandler::initWithFiles({source}, host);
            PauseSemaphore gate(1);
            job->setPause_semaphore(&gate);
            copyFileData(source, out, *job);
            job->setPause_semaphore(nullptr);
        }));
        fs::remove(out);
        bare.push_back(seconds([&] { bareLoop(source, out); }));
        fs::remove(out);
        cp.push_back(seconds([&] {
            const std::string cmd = "cp '" + source + "' '" + out + "'";
            if (std::system(cmd.c_str()) != 0) {
                std::exit(1);
            }
        }));
        std::printf("round %d: copyFileData %.3f s, bare loop %.3f s, cp %.3f s\n", round + 1,
                    engine.back(), bare.back(), cp.back());
    }
    fs::remove(dir / "out.bin");
    const double e = *std::min_element(engine.begin(), engine.end());
    const double b = *std::min_element(bare.begin(), bare.end());
    const double c = *std::min_element(cp.begin(), cp.end());
    std::printf("best of %d: copyFileData %.3f s, bare loop %.3f s, cp %.3f s\n", rounds, e, b, c);
    std::printf("copyFileData / bare loop: %.3f\ncopyFileData / cp: %.3f\n", e / b, e / c);
    return 0;
}
