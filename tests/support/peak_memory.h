// Peak resident memory, for tests that show a hostile input cannot make the
// process grow without bound. Linux only: /proc/self/status and clear_refs.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace vt::test {

// Sanitizer runtimes keep freed memory in quarantine and add shadow memory,
// so their peaks say nothing about the program's own.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool PEAKS_ARE_MEANINGFUL = false;
#else
inline constexpr bool PEAKS_ARE_MEANINGFUL = true;
#endif

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS"), or -1.
inline std::int64_t status_kib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) return std::stoll(line.substr(field.size() + 1));
    }
    return -1;
}

inline std::int64_t resident_kib() { return status_kib("VmRSS"); }
inline std::int64_t peak_resident_kib() { return status_kib("VmHWM"); }

// The peak starts over from what is resident now.
inline bool restart_peak() {
    std::ofstream clear_refs("/proc/self/clear_refs");
    clear_refs << "5";
    clear_refs.flush();
    return static_cast<bool>(clear_refs);
}

struct Peak {
    std::int64_t before_kib = -1;  // resident when the work began
    std::int64_t peak_kib = -1;    // the most resident at any moment of it
    std::int64_t growth_kib() const { return peak_kib - before_kib; }
};

inline Peak measure_peak(const std::function<void()>& work) {
    restart_peak();
    Peak peak;
    peak.before_kib = resident_kib();
    work();
    peak.peak_kib = peak_resident_kib();
    return peak;
}

struct ChildOutcome {
    bool exited = false;  // ended by _exit, not by a signal
    int status = -1;      // what `work` returned
    Peak peak;
};

// Runs `work` in a forked child, so memory it takes or a crash it causes
// stays out of the test process; the child reports its peak and the value
// `work` returns (0 to 255).
inline ChildOutcome run_in_child(const std::function<int()>& work) {
    int report[2];
    if (::pipe(report) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        int status = 0;
        const Peak peak = measure_peak([&] { status = work(); });
        const std::string line = std::to_string(peak.before_kib) + " " + std::to_string(peak.peak_kib) + "\n";
        if (::write(report[1], line.data(), line.size()) < 0) ::_exit(255);
        ::_exit(status);
    }
    ::close(report[1]);
    ChildOutcome outcome;
    std::string line;
    char c;
    while (::read(report[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    ::close(report[0]);
    int wait_status = 0;
    if (child < 0 || ::waitpid(child, &wait_status, 0) != child) return outcome;
    outcome.exited = WIFEXITED(wait_status);
    outcome.status = outcome.exited ? WEXITSTATUS(wait_status) : -1;
    if (const auto space = line.find(' '); space != std::string::npos) {
        outcome.peak = {std::stoll(line), std::stoll(line.substr(space + 1))};
    }
    return outcome;
}

}  // namespace vt::test
