#pragma once
// Whole programs timed from outside, as a user meets them: wall time and peak memory of one
// run, each started through a small launcher of its own.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace veldrano {

struct ProcessRun {
    double ms = 0;
    long peakKiB = 0;
    int status = 0;
};

// Runs a command and reads its peak memory as the system counts it. The command starts
// from a small process of its own (`self`, the benchmark run again with --launch), since a
// child counts the memory of the process it was forked from as its own until it execs.
inline ProcessRun RunProcess(const std::string& self, const std::vector<std::string>& command) {
    std::string line = "'" + self + "' --launch";
    for (const std::string& a : command)
        line += " '" + a + "'";
    ProcessRun run;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe || std::fscanf(pipe, "%lf %ld %d", &run.ms, &run.peakKiB, &run.status) != 3)
        run.status = -1;
    if (pipe)
        ::pclose(pipe);
    return run;
}

// The launcher (what `--launch COMMAND...` runs): forks, execs the command, and prints its
// wall time, peak memory (KiB) and exit status.
inline int LaunchProcess(char** command) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(command[0], command);
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    std::printf("%f %ld %d\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count(),
                usage.ru_maxrss, status);
    return 0;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace veldrano
