// Runaway recursion of every kind ends with a catchable error, never a crash; the last one is
// not caught and stops the game with status 1.
function err(f) { try { local r = f(); return "ok " + r; } catch (e) return e; }

function down(n) { return down(n + 1) + 1; }
print("1 script: " + err(@() down(0)) + "\n");
// the stack is usable again afterwards
function depth(n) { return n == 0 ? 0 : 1 + depth(n - 1); }
print("2 after: " + depth(1000) + "\n");

function viaEval(n) { return eval("return viaEval(" + (n + 1) + ")"); }
print("3 eval: " + err(@() viaEval(0)) + "\n");

class Loop { function _tostring() { return "" + this; } }
print("4 _tostring: " + err(@() "" + Loop()) + "\n");

function cmp(a, b) { local x = [2, 1]; x.sort(cmp); return 0; }
print("5 sort: " + err(@() [2, 1].sort(cmp)) + "\n");

local t = {};
t.setdelegate({ _get = function(k) { return this[k]; } });
print("6 _get: " + err(@() t.missing) + "\n");

function spawn() { return newthread(spawn).call(); }
print("7 threads: " + err(spawn) + "\n");

function gen() { yield resume gen(); }
print("8 generators: " + err(@() resume gen()) + "\n");

// deeply nested source text is a compile error, not a crash of the compiler
local deep = "return " + "(".slice(0, 0);
for (local i = 0; i < 20000; i++) deep += "(";
deep += "1";
for (local i = 0; i < 20000; i++) deep += ")";
print("9 compile: " + err(@() eval(deep)) + "\n");
local arrays = "return ";
for (local i = 0; i < 20000; i++) arrays += "[";
for (local i = 0; i < 20000; i++) arrays += "]";
print("10 compile arrays: " + err(@() eval(arrays)) + "\n");

print("11 last\n");
down(0);
print("must not run\n");
