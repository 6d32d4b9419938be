#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace ferrymark {
class IJobHost;
}

namespace ferrymark::test {

// One round of the soak: five jobs at once on one Qt host, into two folders of their own
// and one they share, one of them a Move, with name conflicts answered through the real
// prompt dialog and random pauses, resumes and stops from the UI thread. Afterwards every
// file is checked against what the job's outcome allows. Runs on the UI thread.
class SoakRound {
  public:
    struct Options {
        std::uint32_t seed = 1;
        std::size_t bytesPerJob = 16 << 20;
        std::chrono::seconds timeout{300};
    };
    struct Report {
        std::vector<std::string> failures;
        bool hung = false;
        int pauses = 0;
        int resumes = 0;
        int stops = 0;
        int prompts = 0;
        std::size_t files = 0;
        std::size_t bytes = 0;
        std::vector<std::string> jobs;  // one line each: kind, outcome, counters
        double seconds = 0;             // the whole round
        double transferSeconds = 0;     // from the start of the jobs to the end of the last
    };

    // host: the Qt job host, or one that passes its calls on to it.
    SoakRound(IJobHost& host, Options options);
    ~SoakRound();
    SoakRound(const SoakRound&) = delete;
    SoakRound& operator=(const SoakRound&) = delete;

    Report run();

  private:
    struct Job;
    struct FileFact;

    void buildJob(Job& job, const std::string& target);
    void chaos(Report& report);
    bool allDone() const;
    void verify(Report& report);
    void verifyJob(const Job& job, Report& report);

    IJobHost& host_;
    Options options_;
    std::mt19937 random_;
    std::string root_;
    std::string pool_;
    std::vector<std::unique_ptr<Job>> jobs_;
};

}  // namespace ferrymark::test
