-- Same work as bench_tables.nut: string-keyed and integer-keyed tables.
local t, n = {}, 500000
local tn = 0
for i = 0, n - 1 do t["key" .. i] = i; tn = tn + 1 end
local sum = 0
for _ = 1, 3 do
  for i = 0, n - 1 do sum = sum + t["key" .. i] end
  sum = sum & 0xFFFFFFFF
end
for i = 0, n - 1, 2 do t["key" .. i] = nil; tn = tn - 1 end
local it, itn = {}, 0
for i = 0, 999999 do it[i] = i * 2; itn = itn + 1 end
for i = 0, 999999 do it[i] = it[i] + 1 end
local cnt = 0
for _, v in pairs(it) do cnt = cnt + (v & 7) end
if sum >= 0x80000000 then sum = sum - 0x100000000 end
print("tables checksum " .. sum .. " " .. tn .. " " .. itn .. " " .. cnt)
