// Log with DEBUG on, console mode: the line format, level letters, the
// caller's script and line, the settings. The date is checked for its form
// and then fixed so the output is stable. Compared with log_console.expected.
function show(v) {
    switch (typeof v) {
    case "string": return "'" + v + "'";
    case "float": return v.tostring() + (v.tostring().find(".") == null ? ".0" : "");
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    case "table":
        local keys = []; foreach (k, x in v) keys.push(k);
        keys.sort(@(a, b) (typeof a + a) <=> (typeof b + b));
        local s = ""; foreach (i, k in keys) s += (i ? ", " : "") + show(k) + ": " + show(v[k]); return "{" + s + "}";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
p("tables", [Log.Level, Log.Mode, Log.getOutputPath(), Log.getOutputMode()]);
local date = Log.getCurrentDate();
p("date_form", regexp(@"^\d\d\d\d/\d\d/\d\d \d\d:\d\d:\d\d$").match(date));
Log.getCurrentDate = @() "DATE";
Log.setOutputMode(Log.Mode.CONSOLE);
Log.setOutputPath("elsewhere.txt");
p("settings", [Log.getOutputMode(), Log.getOutputPath()]);
Log.d("tag", "debug text");
Log.i("tag", "info text");
Log.w("net", "warning text");
Log.e("net", "error text");
Log.write(Log.Level.INFO, "w", "through write");
Log.write(7, "odd", "unknown level");
function helper() {
    Log.i("helper", "called from a function");
}
helper();
Log.d(42, null);  // not strings: written as their text
Log.setOutputMode(0);
Log.e("none", "no output at all");
print("end\n");
