// Scripts that throw or suspend inside include, inside coroutines: each error reaches the
// caller with its message, nothing is run twice, and the include directory stack is left as
// it was. The last coroutine's error is not caught, so the game ends with status 1.
function err(f) { try { local r = f(); return "ok " + r; } catch (e) return e; }

local t = newthread(function() { include("lib/throws.nut"); return "no"; });
print("1 thread: " + err(@() t.call()) + " state " + t.getstatus() + "\n");
// the directory pushed for lib/throws.nut is gone again: after.nut is the root one
print("2 after: " + include("after.nut") + "\n");

local t2 = newthread(function() { return include("lib/nested.nut"); });
print("3 nested: " + err(@() t2.call()) + "\n");
print("4 nested again: " + err(@() include("lib/nested.nut")) + "\n");

local t3 = newthread(function() { include("lib/suspends.nut"); return "no"; });
print("5 suspend through include: " + err(@() t3.call()) + "\n");

local g = (function() { yield include("garbage.nut"); })();
print("6 generator: " + err(@() resume g) + "\n");
print("7 empty: " + include("empty.nut") + " " + exec("empty.nut") + "\n");

local t4 = newthread(function() {
    local inner = newthread(function() { exec("lib/throws.nut"); });
    try { inner.call(); } catch (e) { print("8 inner: " + e + "\n"); throw "rethrown: " + e; }
});
print("9 outer: " + err(@() t4.call()) + "\n");

// uncaught: the game stops with the error
local last = newthread(function() { Util.fwait(60); exec("lib/throws.nut"); });
last.call();
print("10 woke: " + err(@() last.wakeup()) + "\n");
newthread(function() { exec("lib/throws.nut"); }).call();
print("must not run\n");
