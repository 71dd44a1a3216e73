-- Same work as bench_floatloop.nut (Lua computes in double precision, so
-- the drift of the single-precision original does not appear).
local sum, steps = 0.0, 12000000
local dx = 1.0 / steps
for i = 0, steps - 1 do
  local x = (i + 0.5) * dx
  sum = sum + 4.0 / (1.0 + x * x)
end
local pi = sum * dx
local y = 0.5
for _ = 1, 12000000 do y = 3.7 * y * (1.0 - y) end
print("floatloop checksum " .. string.format("%.4f", pi) .. " " .. tostring(y >= 0.0 and y <= 1.0))
