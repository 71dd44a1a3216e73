-- Same work as bench_intloop.nut. Lua integers are 64-bit: h is kept as an
-- unsigned 32-bit value and the sums are wrapped to signed 32 bits, so the
-- checksum line is the script's.
local function s32(x) x = x & 0xFFFFFFFF; if x >= 0x80000000 then x = x - 0x100000000 end; return x end
local h, acc = 0x12345678, 0
for i = 0, 15000000 - 1 do
  h = (h ~ (h << 13)) & 0xFFFFFFFF
  h = h ~ (h >> 17)
  h = (h ~ (h << 5)) & 0xFFFFFFFF
  acc = acc + (h & 0xFF) - (i % 7)
end
local m, d = 1, 0
for i = 1, 200000 - 1 do
  m = s32(m * 31 + i)
  -- integer division truncating toward zero, as the script language does
  local q = m // i
  if (m % i ~= 0) and (m < 0) then q = q + 1 end
  d = d + (q & 0xFFFF)
end
print("intloop checksum " .. s32(h) .. " " .. s32(acc) .. " " .. m .. " " .. s32(d))
