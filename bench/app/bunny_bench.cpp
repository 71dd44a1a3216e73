// Bunny-mark: N sprites of a 32 x 32 image, each moved by the game script every frame and
// drawn on the screen, headless on the virtual clock. The figure is main-thread CPU time per
// sprite per frame (the thread's run time from /proc, read while the game waits at a mark),
// split into the script's share (moving only) and the drawing's share (moving and drawing,
// minus moving only); a run without sprites gives the frame's own cost, subtracted first.
// When LÖVE is installed (`love`), the same work runs on it in the same way. Wall time is
// not compared: llvmpipe rasterises on threads of its own.
//
// Also: 2,000 Japanese characters per frame through drawText, CPU per glyph once every glyph
// is in the font's atlas.
//
//   build/bench/app/ql_bunny_bench [N...]       (default 10000 50000)
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kWarmFrames = 15;

// Nanoseconds the thread has run, from /proc/PID/task/TID/schedstat; -1 when unreadable.
long long threadRunTime(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
    long long ns = -1;
    in >> ns;
    return ns;
}

// Runs the command; the game writes "mark" lines and waits for a byte on its standard input
// after each. Returns the main thread's run time between the first and the second mark, in
// ns, or -1 when the run failed.
long long measuredRun(const std::vector<std::string>& args) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, toChild[1]);
    posix_spawn_file_actions_addclose(&actions, fromChild[0]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    if (rc != 0) return -1;
    FILE* out = fdopen(fromChild[0], "r");
    long long marks[2] = {-1, -1};
    char line[256];
    int seen = 0;
    while (seen < 2 && std::fgets(line, sizeof line, out)) {
        if (std::string(line).rfind("mark", 0) != 0) continue;
        marks[seen++] = threadRunTime(pid);
        const char go = 'g';
        if (write(toChild[1], &go, 1) != 1) break;
    }
    close(toChild[1]);
    while (std::fgets(line, sizeof line, out)) {
    }
    std::fclose(out);
    int status = 0;
    waitpid(pid, &status, 0);
    if (seen < 2 || marks[0] < 0 || marks[1] < 0) return -1;
    return marks[1] - marks[0];
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The same deterministic start for both runtimes: positions and speeds from one sequence.
const char* kSquirrelGame = R"(
local N = %N%, FRAMES = %F%, DRAW = %DRAW%, TEXT = %TEXT%;
local sc = Graphics.getScreenCanvas();
local pic = Graphics.Canvas(32, 32);
pic.clear([255, 240, 200, 120]);
Graphics.saveImage("bunny.png", pic);
local img = Graphics.Image("bunny.png");
local font = Graphics.Font("MS Gothic", 16);
local lines = [];
for (local i = 0; i < 20; i++) {
    local s = "";
    for (local k = 0; k < 100; k++) s += (0x3041 + (i * 100 + k) % 83).tochar();  // hiragana
    lines.push(s);
}
local xs = [], ys = [], vxs = [], vys = [];
local seed = 1;
function rnd() { seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF; return (seed >> 8) % 1000 / 1000.0; }
for (local i = 0; i < N; i++) { xs.push(rnd() * 600); ys.push(rnd() * 440); vxs.push(rnd() * 10 - 5); vys.push(rnd() * 10 - 5); }
local maxX = 608.0, maxY = 448.0;
function mark() { foreach (c in "mark\n") stdout.writen(c, 'c'); stdout.flush(); stdin.readn('c'); }
for (local frame = 0; frame < FRAMES + %WARM% + 1; frame++) {
    if (frame == %WARM% || frame == FRAMES + %WARM%) mark();
    sc.begin();
    sc.clear([255, 0, 0, 0]);
    for (local i = 0; i < N; i++) {
        local x = xs[i] + vxs[i], y = ys[i] + vys[i], vy = vys[i] + 0.75;
        if (x > maxX) { vxs[i] = -vxs[i]; x = maxX; } else if (x < 0) { vxs[i] = -vxs[i]; x = 0.0; }
        if (y > maxY) { vy = -0.85 * vy; y = maxY; } else if (y < 0) { vy = 0.0; y = 0.0; }
        xs[i] = x; ys[i] = y; vys[i] = vy;
        if (DRAW) sc.drawImage(img, [x, y]);
    }
    if (TEXT) foreach (i, s in lines) sc.drawText(font, s, [0, i * 20]);
    sc.end();
    Util.fwait(60);
}
remove("bunny.png");
)";

const char* kLuaGame = R"(
local N, FRAMES, DRAW, WARM = %N%, %F%, %DRAW%, %WARM%
local img, xs, ys, vxs, vys = nil, {}, {}, {}, {}
local seed = 1
local function rnd() seed = (seed * 1103515245 + 12345) %% 2147483648; return math.floor(seed / 256) %% 1000 / 1000 end
local frame = 0
function love.load()
  local data = love.image.newImageData(32, 32)
  data:mapPixel(function() return 240/255, 200/255, 120/255, 1 end)
  img = love.graphics.newImage(data)
  for i = 1, N do xs[i] = rnd() * 600; ys[i] = rnd() * 440; vxs[i] = rnd() * 10 - 5; vys[i] = rnd() * 10 - 5 end
end
local function mark() io.write("mark\n"); io.flush(); io.read(1) end
function love.update()
  if frame == WARM or frame == FRAMES + WARM then mark() end
  if frame > FRAMES + WARM then love.event.quit() end
  frame = frame + 1
  local maxX, maxY = 608, 448
  for i = 1, N do
    local x, y, vy = xs[i] + vxs[i], ys[i] + vys[i], vys[i] + 0.75
    if x > maxX then vxs[i] = -vxs[i]; x = maxX elseif x < 0 then vxs[i] = -vxs[i]; x = 0 end
    if y > maxY then vy = -0.85 * vy; y = maxY elseif y < 0 then vy = 0; y = 0 end
    xs[i] = x; ys[i] = y; vys[i] = vy
  end
end
function love.draw()
  if DRAW ~= 0 then
    local draw = love.graphics.draw
    for i = 1, N do draw(img, xs[i], ys[i]) end
  end
end
)";

std::string fill(std::string text, int n, int frames, bool draw, bool textRun) {
    const auto put = [&](const std::string& key, const std::string& value) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
    };
    put("%N%", std::to_string(n));
    put("%F%", std::to_string(frames));
    put("%DRAW%", draw ? "1" : "0");
    put("%TEXT%", textRun ? "1" : "0");
    put("%WARM%", std::to_string(kWarmFrames));
    put("%%", "%");
    return text;
}

// Main-thread ns per frame of our game: the smallest of three runs.
double quilloraneFrame(const std::string& dir, int n, int frames, bool draw, bool text) {
    writeFile(dir + "/setup.nut", "width = 640; height = 480;");
    writeFile(dir + "/start.nut", fill(kSquirrelGame, n, frames, draw, text));
    long long best = -1;
    for (int run = 0; run < 3; ++run) {
        const long long t = measuredRun({QL_RUNTIME, "--headless", "--virtual-clock", dir});
        if (t >= 0 && (best < 0 || t < best)) best = t;
    }
    return best < 0 ? -1 : static_cast<double>(best) / frames;
}

double loveFrame(const std::string& dir, int n, int frames, bool draw) {
    writeFile(dir + "/conf.lua",
              "function love.conf(t) t.modules.audio = false; t.modules.sound = false; "
              "t.window.width = 640; t.window.height = 480; t.window.vsync = 0 end\n");
    writeFile(dir + "/main.lua", fill(kLuaGame, n, frames, draw, false));
    long long best = -1;
    for (int run = 0; run < 3; ++run) {
        const long long t = measuredRun({"love", dir});
        if (t >= 0 && (best < 0 || t < best)) best = t;
    }
    return best < 0 ? -1 : static_cast<double>(best) / frames;
}

void report(const char* who, int n, double base, double move, double draw) {
    if (base < 0 || move < 0 || draw < 0) {
        std::printf("%-11s N=%-6d failed to run\n", who, n);
        return;
    }
    std::printf("%-11s N=%-6d per sprite: %.3f us (script %.3f us, drawing %.3f us); frame without sprites %.2f ms\n",
                who, n, (draw - base) / n / 1000.0, (move - base) / n / 1000.0, (draw - move) / n / 1000.0,
                base / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {10000, 50000};
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    char dirTemplate[] = "/tmp/qlbunny.XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const bool love = std::system("command -v love >/dev/null 2>&1") == 0;
    const std::string qdir = dir + "/q", ldir = dir + "/l";
    mkdir(qdir.c_str(), 0755);
    mkdir(ldir.c_str(), 0755);

    for (int n : counts) {
        const int frames = n >= 50000 ? 40 : 100;
        const double base = quilloraneFrame(qdir, 0, frames, false, false);
        report("quillorane", n, base, quilloraneFrame(qdir, n, frames, false, false),
               quilloraneFrame(qdir, n, frames, true, false));
        if (love) {
            const double lbase = loveFrame(ldir, 0, frames, false);
            report("LOVE 11", n, lbase, loveFrame(ldir, n, frames, false), loveFrame(ldir, n, frames, true));
        }
    }
    if (!love) std::printf("LOVE is not installed: no comparison\n");

    const int textFrames = 60;
    const double base = quilloraneFrame(qdir, 0, textFrames, false, false);
    const double text = quilloraneFrame(qdir, 0, textFrames, false, true);
    if (base >= 0 && text >= 0)
        std::printf("drawText    2,000 Japanese characters per frame: %.1f ns per glyph\n", (text - base) / 2000.0);
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
