// Generators and constructors run as frames of their caller's run: they show
// in stack information, and a generator can suspend the thread it runs in
function callers() {
  local names = []
  for (local level = 2; ; level++) {
    local info = getstackinfos(level)
    if (info == null) break
    names.append(info.func)
  }
  return names.reduce(@(a, b) a + " < " + b)
}

function gen() { yield callers() }
function viaResume() { return resume gen() }
function viaForeach() { foreach (s in gen()) return s }
class Made {
  seen = null
  constructor() { seen = callers() }
}
function viaConstructor() { return Made().seen }
print("resume: " + viaResume() + "\n")
print("foreach: " + viaForeach() + "\n")
print("constructor: " + viaConstructor() + "\n")

// a constructor's own return value is not the result of the call
class R { v = 1; constructor() { v = 2; return "ignored" } }
print("constructed: " + typeof R() + " " + R().v + "\n")
class Tail { v = 0; function set() { v = 5 } constructor() { return set() } }
print("tail call in constructor: " + typeof Tail() + " " + Tail().v + "\n")

// suspend() inside a generator resumed in a thread suspends the thread
function steps() {
  local got = suspend("first")
  yield "got " + got
  yield "again " + suspend("second")
}
local th = newthread(function() {
  local g = steps()
  local a = resume g
  local b = resume g
  return a + ", " + b
})
print("call: " + th.call() + " (" + th.getstatus() + ")\n")
print("wakeup: " + th.wakeup(1) + " (" + th.getstatus() + ")\n")
print("wakeup: " + th.wakeup(2) + " (" + th.getstatus() + ")\n")
function loop() { foreach (v in steps()) suspend("loop " + v) }
local lt = newthread(loop)
local seen = [lt.call()]
while (lt.getstatus() == "suspended") seen.append(lt.wakeup(seen.len()))
print("foreach in a thread: " + seen.reduce(@(a, b) a + " | " + b) + "\n")

// errors in a running generator kill it; a generator cannot resume itself
function failing() { yield 1; throw "inside" }
local f = failing()
resume f
try { resume f } catch (e) print("error: " + e + ", " + f.getstatus() + "\n")
local self = null
function selfish() { yield resume self }
self = selfish()
try { resume self } catch (e) print("error: " + e + "\n")
