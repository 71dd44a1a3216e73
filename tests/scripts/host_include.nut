// include, exec and eval: paths, the once-only rule, the directory stack and every message.
function err(f) { try { local r = f(); return "ok " + r; } catch (e) return e; }
print("a: " + include("lib/a.nut") + "\n");
print("a again: " + include("lib/a.nut") + "\n");
print("x direct: " + include("x.nut") + "\n");          // already run from lib/a.nut
print("lib\\x.nut is another path: " + err(@() include("lib\\x.nut")) + "\n");
print("sub: " + include("sub/rel.nut") + "\n");           // sub/../x.nut is a new path
print("missing: " + err(@() include("missing.nut")) + "\n");
print("bad: " + err(@() include("bad.nut")) + "\n");
print("bad again: " + err(@() include("bad.nut")) + "\n");
print("throws: " + err(@() include("throws.nut")) + "\n");
print("throws again: " + err(@() include("throws.nut")) + "\n");
print("masks: " + err(@() include(1)) + ", " + err(@() include()) + ", " + err(@() include("x.nut", 1)) + ", " + err(@() include("x.nut", true, 1)) + "\n");
print("exec: " + exec("counter.nut") + " " + exec("counter.nut") + "\n");
print("exec missing: " + err(@() exec("nope.nut")) + "\n");
print("exec bad: " + err(@() exec("bad.nut")) + "\n");
print("exec masks: " + err(@() exec(1)) + ", " + err(@() exec()) + "\n");
print("eval: " + eval("return 1+2") + " " + eval("local a = 1;") + " " + eval("return this == getroottable()") + "\n");
print("eval bad: " + err(@() eval("return +")) + "\n");
print("eval throws: " + err(@() eval("throw \"x\"")) + "\n");
print("eval masks: " + err(@() eval(1)) + ", " + err(@() eval("1", "2")) + "\n");
print("import missing: " + err(@() import("no_such_plugin_qlt")) + "\n");
print("import masks: " + err(@() import(1)) + "\n");
print("sleep: " + sleep(5) + " " + sleep(-1) + " " + err(@() sleep("x")) + "\n");
