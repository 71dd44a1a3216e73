#pragma once
// The script host: the one VM of a run, the native libraries, the bootstrap text, start.nut
// resumed once per frame, and the orderly shutdown.
#include "script/Library.h"

#include <squirrel.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace QlIO {
class IFileManager;
}

namespace Quillorane {

struct SetupSettings;

struct HostOptions {
    // `cmdline`: the executable path, then the game's arguments.
    std::vector<std::u16string> commandLine;
    // End the run after this many frames, as a quit would (0: no limit).
    unsigned frameLimit = 0;
    // A native path where the screen is saved as PNG when the run ends (empty: none).
    std::string screenshot;
    // Start-up only (quillorane --dump-api): when set, the host calls it once the standard
    // libraries are registered (StandardLibraries) and once the native libraries, their
    // preludes and the bootstrap text have run (Started), then shuts down without loading
    // start.nut. The VM's stack is as the host left it; the callee must leave it so.
    enum class StartupStep { StandardLibraries, Started };
    std::function<void(HSQUIRRELVM, StartupStep)> inspect;
};

// How a run ended, for the exit status.
enum class HostOutcome {
    Finished,        // quit, exit, the window closed or the script returned
    StartFailed,     // the bootstrap text or start.nut did not compile or run
    ScriptFailed,    // the script ended with an error
};

// The main script, resumed once per frame until it returns or fails.
class ScriptRunner {
public:
    enum State { None = 0, Loaded = 1, Suspended = 2, Finished = 3 };

    explicit ScriptRunner(HSQUIRRELVM v) : v_(v) { sq_resetobject(&main_); }
    ~ScriptRunner() { release(); }

    // Compiles the text as the main script ("start.nut").
    bool load(std::u16string_view text, std::u16string_view sourceName);
    // Runs the script until it suspends, returns or fails.
    void resume();
    void release();
    State state() const { return state_; }
    // Whether the script ended through an error, and that error's text.
    bool failed() const { return failed_; }
    const std::u16string& failure() const { return failure_; }

private:
    HSQUIRRELVM v_;
    HSQOBJECT main_;
    State state_ = None;
    bool failed_ = false;
    std::u16string failure_;
    SQInteger baseTop_ = 0;  // stack top below the main function while it runs
};

// The bootstrap text: version constants, DEBUG, cmdline, then every plug-in imported and
// every listed script included, each name escaped so that it arrives unchanged.
std::u16string bootstrapText(const SetupSettings& settings, const std::vector<std::u16string>& commandLine);

class ScriptHost {
public:
    ScriptHost(std::shared_ptr<QlIO::IFileManager> files, const SetupSettings& settings, HostOptions options);
    ~ScriptHost();

    // The whole life of the VM; returns how it ended. Needs the current window (the frame loop
    // ends at once without one).
    HostOutcome run();
    // Why the game did not start (StartFailed) or stopped (ScriptFailed), in one line.
    const std::string& failure() const { return failure_; }

private:
    void openVm();
    void loadLibraries();
    void shutDown();

    std::shared_ptr<QlIO::IFileManager> files_;
    const SetupSettings& settings_;
    HostOptions options_;
    HSQUIRRELVM vm_ = nullptr;
    std::vector<std::unique_ptr<Library>> libraries_;  // kept ones, in registration order
    std::string failure_;
};

}  // namespace Quillorane
