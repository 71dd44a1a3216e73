// Root-table prelude: exit slots, print slicing, println, print_r, array2-4,
// halt/exit/stop. Run as a game's start.nut; the output is compared with
// prelude_root.expected. ASCII only (start.nut is read as Shift-JIS).
function show(v) {
    switch (typeof v) {
    case "string": return "\"" + v + "\"";
    case "float": return v.tostring() + (v.tostring().find(".") == null ? ".0" : "");
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function repeat(s, n) { local out = ""; for (local i = 0; i < n; i++) out += s; return out; }

p("exit_slots", [typeof qlse_exit_flag___, qlse_exit_flag___, qlse_exit_code___]);
local names = ["halt", "exit", "stop", "squirrel_default_print__", "print", "println", "print_r",
               "printv_element", "printv_indent", "printv_string", "array2", "array3", "array4"];
p("root_functions", names.map(@(n) getroottable().rawin(n) && typeof getroottable()[n] == "function"));

// print hands each slice to the saved built-in print, looked up at call time.
local saved = ::squirrel_default_print__;
local calls = [], seen = [];
::squirrel_default_print__ = function(v) { calls.push(v); };
local lens = function(s) { calls.clear(); print(s); return calls.map(@(c) typeof c == "string" ? c.len() : typeof c); };
local emoji = (0xD83D).tochar() + (0xDE00).tochar();
seen.push(["slices_1000", lens(repeat("0123456789", 100))]);
seen.push(["slices_400_401_800_empty", [lens(repeat("a", 400)), lens(repeat("a", 401)), lens(repeat("a", 800)), lens("")]]);
seen.push(["slices_pair_kept_whole", [lens(repeat("a", 399) + emoji + "b"), lens(repeat("a", 398) + emoji + "b")]]);
seen.push(["slices_non_string", [lens(12), lens(1.5), lens(null), lens(true)]]);
local whole = repeat("xy", 300) + emoji + repeat("z", 501);
calls.clear(); print(whole);
seen.push(["slices_join_back", calls.reduce(@(a, b) a + b) == whole]);
calls.clear(); println("x"); println(7);
seen.push(["println_calls", calls.map(@(c) c == "\n" ? "LF" : c)]);
::squirrel_default_print__ = saved;
foreach (r in seen) p(r[0], r[1]);
print("long_out: " + repeat("-", 389) + emoji + repeat("+", 20) + "\n");
print("num_out: "); print(12); print(" "); print(2.5); print(" "); println(false);

// print_r: scalars straight out, containers captured through ::print.
print_r(null); print_r("tab\there \"q\"\nnext"); print_r(42); print_r(0.25);
local cap = "";
local savedPrint = ::print;
::print = function(v) {
    local t = typeof v;
    cap += t == "string" ? v : (t == "integer" || t == "float" || t == "bool") ? v.tostring() : "(" + t + ")";
};
class Holder { item = null; }
local h = Holder(); h.item = [{ deep = ["s\n"] }];
print_r([1, [], {}, h, Holder, print_r]);
::print = savedPrint;
print(cap);

local a2 = array2(2, 3, 0); a2[0][1] = 5;
p("array2", a2);
p("array2_default_empty", [array2(1, 2), array2(0, 4)]);
local a3 = array3(2, 2, 1, "z"); a3[1][0][0] = 9;
p("array3", a3);
local a4 = array4(2, 1, 1, 2); a4[0][0][0][1] = 7;
p("array4", a4);

// halt, exit and stop suspend the thread that calls them.
local th = newthread(function() { halt(); return 1; });
th.call();
local st = [th.getstatus()];
th.wakeup(); st.push(th.getstatus());
p("halt_once", st);
th = newthread(exit); th.call();
p("exit_default", [qlse_exit_flag___, qlse_exit_code___, th.getstatus()]);
th = newthread(exit); th.call(9);
p("exit_code", qlse_exit_code___);
qlse_exit_flag___ = false;
th = newthread(stop); th.call();
for (local i = 0; i < 3; i++) th.wakeup();
p("stop_forever", th.getstatus());
print("before_halt\n");
halt();
print("after_halt\n");
exit(2);
print("after_exit: MUST NOT APPEAR\n");
