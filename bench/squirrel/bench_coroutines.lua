-- Same work as bench_coroutines.nut: a generator and a ping-pong coroutine.
local function counter(n)
  return coroutine.wrap(function() for i = 0, n - 1 do coroutine.yield(i) end end)
end
local gsum = 0
for v in counter(4000000) do gsum = gsum + (v & 15) end
local th = coroutine.create(function()
  local total = 0
  while true do
    local v = coroutine.yield(total)
    if v == nil then return total end
    total = total + v
  end
end)
coroutine.resume(th)
local last = 0
for i = 0, 2999999 do local _; _, last = coroutine.resume(th, i & 3) end
local _, fin = coroutine.resume(th, nil)
print("coroutines checksum " .. gsum .. " " .. last .. " " .. fin)
