// `Log` prelude: run once at start-up with the root table as `this`; the
// native side only created the empty `Log` table. When the game runs with
// `debug` set in setup.nut (`DEBUG` true) it writes one line per call, with
// level, tag, date, the caller's script and line, and the message, to a file
// (Shift-JIS, appended through `IO`), to the console, or both. With `DEBUG`
// false every function but the getters and setters does nothing.

Log.Level <- {DEBUG = 0, INFO = 1, WARNING = 2, ERROR = 3};
Log.Mode <- {FILE = 1, CONSOLE = 2};  // flags, combined with |

Log.g_outputPath <- "log.txt";
Log.g_outputMode <- Log.Mode.FILE;

function Log::setOutputPath(newPath) { this.g_outputPath = newPath; }
function Log::getOutputPath() { return this.g_outputPath; }
function Log::setOutputMode(mode) { this.g_outputMode = mode; }
function Log::getOutputMode() { return this.g_outputMode; }

// Empties the log file.
function Log::clear()
{
    if (!::DEBUG) return;
    ::IO.writeTextFile(this.g_outputPath, "");
}

// The caller of the Log function that calls this: two levels above that
// function's own frame.
function Log::caller__()
{
    local info = ::getstackinfos(3);
    return info != null ? info : {src = "?", line = -1};
}

function Log::d(tag, message)
{
    if (!::DEBUG) return;
    local at = this.caller__();
    this.write__(this.Level.DEBUG, tag, at.src, at.line, message);
}

function Log::i(tag, message)
{
    if (!::DEBUG) return;
    local at = this.caller__();
    this.write__(this.Level.INFO, tag, at.src, at.line, message);
}

function Log::w(tag, message)
{
    if (!::DEBUG) return;
    local at = this.caller__();
    this.write__(this.Level.WARNING, tag, at.src, at.line, message);
}

function Log::e(tag, message)
{
    if (!::DEBUG) return;
    local at = this.caller__();
    this.write__(this.Level.ERROR, tag, at.src, at.line, message);
}

function Log::write(level, tag, message)
{
    if (!::DEBUG) return;
    local at = this.caller__();
    this.write__(level, tag, at.src, at.line, message);
}

// Local date and time, "2024/01/31 09:05:07".
function Log::getCurrentDate()
{
    local d = ::date();
    return ::format("%d/%02d/%02d %02d:%02d:%02d", d.year, d.month + 1, d.day, d.hour, d.min, d.sec);
}

// "[d] <tag> date source(line) message" to the outputs the mode names. Tags
// and messages that are not strings are written as their text.
function Log::write__(level, tag, sourceName, sourceLine, message)
{
    if (!::DEBUG) return;
    local letter = "-";
    switch (level) {
    case this.Level.DEBUG: letter = "d"; break;
    case this.Level.INFO: letter = "i"; break;
    case this.Level.WARNING: letter = "w"; break;
    case this.Level.ERROR: letter = "e"; break;
    }
    local line = ::format("[%s] <%s> %s %s(%d) %s\n", letter, "" + tag, this.getCurrentDate(),
                          "" + sourceName, sourceLine, "" + message);
    if (this.g_outputMode & this.Mode.FILE) ::IO.appendTextFile(this.g_outputPath, line);
    if (this.g_outputMode & this.Mode.CONSOLE) ::print(line);
}
