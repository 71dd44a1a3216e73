-- Same work as bench_classes.nut: objects with methods and single inheritance.
local Vec = {}
Vec.__index = Vec
function Vec.new(a, b) return setmetatable({x = a, y = b}, Vec) end
function Vec:add(o) return Vec.new(self.x + o.x, self.y + o.y) end
function Vec:dot(o) return self.x * o.x + self.y * o.y end
local Particle = setmetatable({}, {__index = Vec})
Particle.__index = Particle
function Particle.new(a, b, l)
  local p = setmetatable({x = 0.0, y = 0.0, life = 0}, Particle)
  p.x, p.y, p.life = a, b, l
  return p
end
function Particle:step() self.life = self.life - 1; return self.life > 0 end
local acc, d, alive = Vec.new(0.0, 0.0), 0.0, 0
for i = 0, 999999 do
  local p = Particle.new(i % 10, i % 7, i % 5)
  acc = acc:add(p)
  d = d + p:dot(acc) * 0.000001
  while p:step() do alive = alive + 1 end
end
print(string.format("classes checksum %g %g %d %s", acc.x, acc.y, alive, tostring(d > 0)))
