// Soak run: a game played headless in real time for a given time, its resident memory
// sampled every second. Prints the RSS at the start, at the end of the warm-up (the baseline)
// and at the end, and fails (exit status 1) when the end exceeds the baseline by more than the
// allowed growth, or when the game does not run to the end and stop cleanly on SIGTERM.
//
//   ql_soak [--seconds N] [--warmup S] [--growth PCT] [--game DIR]
//
// Defaults: 1800 s, a warm-up of 60 s (a sixth of the run when that is shorter), 1 %, and
// the sprites example (or, without it, the stand-in game beside this file: sprites, sound
// and text).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// VmRSS of a process in KiB, or -1 when it is gone.
long rssKib(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// CPU seconds (user + system) a process has used so far.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long median(std::vector<long> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool exists(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

}  // namespace

int main(int argc, char** argv) {
    int seconds = 1800;
    int warmup = -1;
    double growthLimit = 1.0;
    std::string game = exists(QL_SPRITES_EXAMPLE "/start.nut") ? QL_SPRITES_EXAMPLE : QL_SOAK_GAME;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--seconds" && value) seconds = std::atoi(argv[++i]);
        else if (arg == "--warmup" && value) warmup = std::atoi(argv[++i]);
        else if (arg == "--growth" && value) growthLimit = std::atof(argv[++i]);
        else if (arg == "--game" && value) game = argv[++i];
        else {
            std::fprintf(stderr, "usage: ql_soak [--seconds N] [--warmup S] [--growth PCT] [--game DIR]\n");
            return 2;
        }
    }
    if (seconds < 2) seconds = 2;
    if (warmup < 0) warmup = std::min(60, seconds / 6);
    warmup = std::clamp(warmup, 1, seconds - 1);

    std::vector<std::string> args = {QL_RUNTIME, "--headless", game};
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, QL_RUNTIME, &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "ql_soak: cannot start %s\n", QL_RUNTIME);
        return 1;
    }
    std::printf("soak: %s for %d s (baseline after %d s, allowed growth %.2f %%)\n", game.c_str(), seconds, warmup,
                growthLimit);
    std::fflush(stdout);

    // One sample a second; the baseline and the end are medians of five samples, so one
    // momentary peak (a sound being decoded) does not decide the result.
    const auto start = std::chrono::steady_clock::now();
    std::vector<long> samples;
    long first = -1, peak = 0;
    bool died = false;
    for (int t = 1; t <= seconds; ++t) {
        std::this_thread::sleep_until(start + std::chrono::seconds(t));
        const long rss = rssKib(pid);
        int status = 0;
        if (rss < 0 || ::waitpid(pid, &status, WNOHANG) == pid) {
            died = true;
            std::printf("soak: the game ended after %d s\n", t);
            break;
        }
        if (first < 0) first = rss;
        peak = std::max(peak, rss);
        samples.push_back(rss);
        if (t % 60 == 0 && seconds >= 300) {
            std::printf("  %4d s  RSS %ld KiB\n", t, rss);
            std::fflush(stdout);
        }
    }
    const double cpu = died ? 0 : cpuSeconds(pid);
    int status = 0;
    if (!died) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, &status, 0);
    }
    if (died || samples.size() < static_cast<std::size_t>(warmup) + 3) return 1;

    auto around = [&](std::size_t index) {
        const std::size_t from = index >= 2 ? index - 2 : 0;
        const std::size_t to = std::min(samples.size(), from + 5);
        return median(std::vector<long>(samples.begin() + static_cast<long>(from), samples.begin() + static_cast<long>(to)));
    };
    const long baseline = around(static_cast<std::size_t>(warmup) - 1);
    const long end = median(std::vector<long>(samples.end() - 5, samples.end()));
    const double growth = 100.0 * static_cast<double>(end - baseline) / static_cast<double>(baseline);
    std::printf("RSS at start     %8ld KiB\n", first);
    std::printf("RSS at %4d s    %8ld KiB  (baseline)\n", warmup, baseline);
    std::printf("RSS at end       %8ld KiB  (%+.2f %% since the baseline; peak %ld KiB)\n", end, growth, peak);
    std::printf("CPU              %8.1f s of %d s\n", cpu, seconds);
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!clean) std::printf("soak: the game did not stop cleanly on SIGTERM (status %d)\n", status);
    if (growth > growthLimit) std::printf("soak: FAILED, memory grew by more than %.2f %%\n", growthLimit);
    return clean && growth <= growthLimit ? 0 : 1;
}
