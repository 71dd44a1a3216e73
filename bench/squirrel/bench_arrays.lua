-- Same work as bench_arrays.nut: fill, sort (default and comparator), map,
-- filter and reduce over arrays of 40000 integers.
local seed = 12345
local function rnd()
  seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
  return seed
end
local total = 0
for _ = 1, 10 do
  local a = {}
  for i = 1, 40000 do a[i] = rnd() % 100000 end
  local b = table.move(a, 1, #a, 1, {})
  table.sort(a)
  table.sort(b, function(x, y) return y < x end)
  local m = {}
  for i = 1, #a do m[i] = a[i] * 2 end
  local f = {}
  for i = 1, #m do if m[i] % 3 == 0 then f[#f + 1] = m[i] end end
  local r = f[1]
  for i = 2, #f do r = (r + f[i]) & 0xFFFFFF end
  total = total + a[1] + a[#a] + b[1] + #f + r
end
print("arrays checksum " .. total)
