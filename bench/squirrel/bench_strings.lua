-- Same work as bench_strings.nut: repeated concatenation, formatting, find, slice.
local total = 0
for round = 0, 199 do
  local s = ""
  for i = 0, 1999 do s = s .. string.format("%d:%x;", i, (i * round) & 0xFFFFFFFF) end
  total = total + #s
  local pos, count = 1, 0
  while true do
    local p = string.find(s, ";", pos, true)
    if not p then break end
    count = count + 1
    pos = p + 1
  end
  total = total + count + #string.sub(s, 11, 20)
end
local parts = {}
for i = 0, 24999 do parts[#parts + 1] = "item" .. i end
local joined = ""
for _, p in ipairs(parts) do joined = joined .. p end
total = total + #joined + #string.upper(joined)
print("strings checksum " .. total)
