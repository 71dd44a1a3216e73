-- Same work as bench_fib.nut: naive recursive Fibonacci.
local function fib(n)
  if n < 2 then return n end
  return fib(n - 1) + fib(n - 2)
end
local function fibIter(n)
  local a, b = 0, 1
  for _ = 1, n do a, b = b, a + b end
  return a
end
local n, total = 33, 0
for round = 0, 1 do total = total + fib(n - round) end
assert(total == fibIter(n) + fibIter(n - 1), "fib mismatch")
print("fib checksum " .. total)
