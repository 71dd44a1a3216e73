// Util prelude: fwait, serialize/deserialize, the counter classes. Run as a
// game's start.nut; the output is compared with prelude_util.expected.
// ASCII only (start.nut is read as Shift-JIS).
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

// fwait: adjusts the shared limiter only when the rate changes, suspends,
// then waits on the limiter after being resumed.
p("shared_limiter", [Util.g_qlse_fps instanceof Util.Fps, Util.g_qlse_fps.getFps()]);
local real = Util.g_qlse_fps, log = [];
Util.g_qlse_fps = { rate = 60, getFps = function() { log.push("get"); return rate; },
                    setFps = function(n) { log.push("set" + n); rate = n; }, wait = @() log.push("wait") };
local th = newthread(@(fps) Util.fwait(fps));
foreach (fps in [60, 30]) {
    log.clear(); th.call(fps);
    local before = [th.getstatus(), clone log];
    th.wakeup();
    p("fwait_" + fps, [before, th.getstatus(), log]);
}
Util.g_qlse_fps = real;
Util.fwait(30);
p("fwait_sets_shared", Util.g_qlse_fps.getFps());
Util.fwait(60);

// serialize: exact text for single values and one-slot tables.
local S = @(v) Util.serialize(v);
p("scalars", [S(null), S(-7), S(2.5), S(true), S([]), S({}), S([1, "x"]), S({ a = 1 })]);
p("string_escapes", S("q\"b\\n\nr\rt\tz\x00."));
local keys = ["_ok9", "while", "constructor", "a b", "1x", "", "x-y", 3, 1.5, true];
p("keys", keys.map(function(k) { local t = {}; t[k] <- 0; return S(t); }));
p("nested", S([[1, [2]], { t = { u = null } }]));
class Point {
    x = 0; y = 0;
    constructor(x, y) { this.x = x; this.y = y; }
    function serialize() { return "::Point(" + x + "," + y + ")"; }
}
local back = Util.deserialize(S({ p = Point(3, 4) }));
p("instance", [S(Point(1, 2)), back.p instanceof Point, back.p.x, back.p.y]);
class Bare {}
p("errors", [err(@() S(Bare())), err(@() S([print])), err(@() S(Point)), err(@() S({ g = newthread(print) }))]);

// deserialize(serialize(v)) gives v back, odd strings and keys included.
local odd = "";
for (local c = 1; c < 128; c++) odd += c.tochar();
odd += (0xD83D).tochar() + (0xDE00).tochar() + (0xFFFF).tochar() + (0x3042).tochar() + "\x00\\";
local value = { [odd] = [odd, -1, 0.5, false, null, { ["in"] = "\\\"", [7] = [] }], plain = "\\n", [0] = "" };
p("round_trip", show(Util.deserialize(S(value))) == show(value));
p("deserialize", [Util.deserialize("1 + 2"), Util.deserialize("[\"a\",]")]);

// Counters.
local c = Util.Counter();
c.inc(); c.inc(5); c.dec(); local c2 = clone c; c2.dec(10);
p("counter", [c.get(), c2.get(), Util.Counter(7).get()]);
local l = Util.LoopCounter(0, 3), seq = [l.get()];
l.set(3); l.inc(); seq.push(l.get());
l.dec(2); seq.push(l.get());
l.inc(-3); seq.push(l.get());
l.inc(1000000001); seq.push(l.get());
local l2 = clone l; l2.inc();
p("loop", [seq, l.get(), l2.get(), l2.getMin(), l2.getMax(), Util.LoopCounter(0, 9, 5).get()]);
local lf = Util.LoopCounter(0.0, 2.5, 0.5); lf.inc(3);
local ln = Util.LoopCounter(-2, 2); ln.dec(7);
p("loop_float_negative", [lf.get(), ln.get()]);
p("loop_errors", [err(@() Util.LoopCounter(0, 9, 10)), err(@() Util.LoopCounter(1, 0)), err(@() l.set(4)), l.get()]);
local s = Util.StopCounter(0, 3, 2), sseq = [];
s.inc(5); sseq.push(s.get());
s.dec(10); sseq.push(s.get());
s.inc(-1); sseq.push(s.get());
s.inc(2); sseq.push(s.get());
p("stop", [sseq, Util.StopCounter(-5, 5).get(), s.getMin(), s.getMax()]);
p("stop_errors", [err(@() Util.StopCounter(0, 3, -1)), err(@() Util.StopCounter(2, 1)), err(@() s.set(9)), s.get()]);
local r = Util.ReverseCounter(Util.LoopCounter(0, 3)), rseq = [];
r.inc(); rseq.push(r.get());
r.dec(2); rseq.push(r.get());
r.set(2); rseq.push(r.get());
local r2 = clone r; r2.inc(2);
p("reverse", [rseq, r.get(), r2.get()]);
