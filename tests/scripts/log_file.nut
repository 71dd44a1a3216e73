// Log with DEBUG on, file mode: lines appended to log.txt in the game
// folder in Shift-JIS with CR LF, clear() empties it, another path and both
// outputs at once. Compared with log_file.expected.
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
function bytes(path) {
    local r = IO.BinaryReader(path), out = [];
    for (local i = r.getLength(); i > 0; i--) out.push(format("%02X", r.readUint8()));
    r.close();
    local s = ""; foreach (b in out) s += b;
    return s;
}
Log.getCurrentDate = @() "D";
Log.clear();
p("cleared", [IO.File("log.txt").exists(), IO.File("log.txt").getSize()]);
Log.i("t", "one");
Log.w("t", "\x3042");  // HIRAGANA A: 82 A0 in Shift-JIS
p("file", IO.readTextFile("log.txt"));
p("bytes_of_second_line", bytes("log.txt").slice(52));
Log.clear();
p("cleared_again", IO.File("log.txt").getSize());
Log.setOutputPath("other.txt");
Log.setOutputMode(Log.Mode.FILE | Log.Mode.CONSOLE);
Log.e("both", "to file and console");
p("other", [IO.readTextFile("other.txt"), IO.File("log.txt").getSize()]);
IO.File("other.txt").remove();
IO.File("log.txt").remove();
