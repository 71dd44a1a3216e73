// Error reports list generator and constructor frames with their locals,
// list the locals in scope, give the line a statement starts on and report
// a thread's refused call.
// Each case runs in a thread, whose errors reach the handler even when
// they are caught afterwards.
function inThread(f) {
  try { newthread(f).call() } catch (e) print("caught: " + e + "\n")
}

function counter(limit) {
  local n = 0
  while (true) {
    yield n
    n++
    if (n > limit) throw "counter past " + limit
  }
}
inThread(function() {
  local gen = counter(1)
  resume gen
  resume gen
  resume gen
})

class Shape {
  sides = 0
  constructor(n) {
    local checked = n * 2
    if (n < 3) throw "too few sides: " + n
    sides = n
  }
}
inThread(function() {
  local ok = Shape(4)
  local bad = Shape(2)
})

inThread(function(a, b) { return a + b })

// a loop's variables are listed while it runs, not once it has ended
inThread(function() {
  foreach (k, v in ["a"]) v.missing
})
inThread(function() {
  local seen = {}
  foreach (k, v in [1, 2]) seen[k] <- v
  seen.missing
})

local values = [1, 2]
local total = values[0] +
  values[1] +
  values[2]
