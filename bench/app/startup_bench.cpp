// Start-up of examples/hello to the end of its first frame, as a whole process: the median of
// RUNS runs of `quillorane --headless --frames 1`. When LÖVE is installed (`love`), the same
// is measured for an empty LÖVE game that quits after its first drawn frame.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Runs argv to its end with stdout and stderr discarded; wall time in ms, or -1.
double runOnce(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Median of runs, after one untimed warm-up run (disk cache); prints the figures.
void measure(const char* label, const std::vector<std::string>& args, int runs) {
    if (runOnce(args) < 0) {
        std::printf("%-34s failed to run\n", label);
        return;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = runOnce(args);
        if (t >= 0) times.push_back(t);
    }
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    std::printf("%-34s median %7.1f ms   min %7.1f ms   max %7.1f ms   (%zu runs)\n", label, times[times.size() / 2],
                times.front(), times.back(), times.size());
}

bool haveCommand(const char* name) {
    const std::string check = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(check.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    measure("quillorane examples/hello", {QL_RUNTIME, "--headless", "--frames", "1", QL_HELLO}, runs);
    if (haveCommand("love")) {
        char folder[] = "/tmp/ql_love_bench_XXXXXX";
        if (mkdtemp(folder)) {
            std::ofstream(std::string(folder) + "/main.lua")
                << "function love.draw() love.graphics.print('hello', 10, 10) end\n"
                   "function love.update() if drawn then love.event.quit() end end\n"
                   "local present = love.graphics.present\n"
                   "function love.graphics.present() present() drawn = true end\n";
            measure("love (empty game, first frame)", {"love", folder}, runs);
        }
    } else {
        std::printf("love is not installed (apt-get install love) - no comparison\n");
    }
    return 0;
}
