// Collision: the four shape classes with their constructor masks, failures
// and properties, and intersects between every pair of kinds. Run as a
// game's start.nut; compared with collision_shapes.expected.
function show(v) {
    switch (typeof v) {
    case "string": return "'" + v + "'";
    case "float": return v.tostring() + (v.tostring().find(".") == null ? ".0" : "");
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    case "table":
        local keys = []; foreach (k, x in v) keys.push(k);
        keys.sort(@(a, b) (typeof a + a) <=> (typeof b + b));
        local s = ""; foreach (i, k in keys) s += (i ? ", " : "") + show(k) + ": " + show(v[k]); return "{" + s + "}";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }
function props(s) {
    local out = [];
    foreach (name in ["x", "y", "radius", "sx", "sy", "ex", "ey", "left", "top", "right", "bottom"]) {
        try { out.push(name + "=" + s[name]); } catch (e) {}
    }
    return out;
}

// Constructors: every mask, floats truncated, longer arrays read up to what they need.
p("point", [props(Collision.Point(1, 2)), props(Collision.Point([3.9, -4.9])), props(Collision.Point([5, 6, 7]))]);
p("line", [props(Collision.Line(1, 2, 3, 4)), props(Collision.Line([1, 2], [3, 4])), props(Collision.Line([4, 3, 2, 1]))]);
p("circle", [props(Collision.Circle(1, 2, 3)), props(Collision.Circle([1, 2], 0)), props(Collision.Circle([1, 2, 5]))]);
p("rectangle", [props(Collision.Rectangle(10, 10, 0, 0)), props(Collision.Rectangle([5, 0], [0, 5])),
                props(Collision.Rectangle([0, 9, 9, 0]))]);
p("ctor_errors", [err(@() Collision.Point()), err(@() Collision.Point(1)), err(@() Collision.Point([1])),
                  err(@() Collision.Point("1", "2")), err(@() Collision.Point([1, "2"])),
                  err(@() Collision.Line([1, 2], [3])), err(@() Collision.Line([1, 2, 3])),
                  err(@() Collision.Circle([1], 2)), err(@() Collision.Rectangle([1, 2], 3))]);
p("ctor_failed", [err(@() Collision.Circle(0, 0, -1)), err(@() Collision.Circle([0, 0], -1)), err(@() Collision.Circle([0, 0, -2]))]);

// Properties: setters store, a negative radius is refused silently, rectangles are not re-sorted.
local c = Collision.Circle(0, 0, 5);
c.radius = -3; c.x = 7.9;
local rc = Collision.Rectangle(0, 0, 10, 10);
rc.left = 20;
local ln = Collision.Line(0, 0, 1, 1);
ln.ex = 9; ln.sy = -1;
p("setters", [props(c), props(rc), props(ln)]);
p("missing_member", [err(@() c.left), err(function() { c.nothing = 1; })]);

// An instance that never got a shape: reads give null, writes and tests do nothing.
local empty = Collision.Point.instance();
empty.x = 5;
p("no_shape", [empty.x, Collision.intersects(empty, Collision.Point(0, 0)), Collision.intersects(null, c)]);
class MyRect extends Collision.Rectangle { constructor() {} }
p("derived_no_shape", [MyRect().left, Collision.intersects(MyRect(), rc)]);
class GoodRect extends Collision.Rectangle { constructor(s) { base.constructor(0, 0, s, s); } }
p("derived", [props(GoodRect(4)), Collision.intersects(GoodRect(4), Collision.Point(4, 4))]);
p("intersects_errors", [err(@() Collision.intersects(c)), err(@() Collision.intersects(c, 5)),
                        err(@() Collision.intersects(Math.Random(1), c))]);

// intersects for each pair, both ways round, touching counts.
local P = Collision.Point, L = Collision.Line, C = Collision.Circle, R = Collision.Rectangle;
local cases = [
    ["point_point", P(1, 1), P(1, 1), P(1, 2)],
    ["point_line", P(4, 4), L(0, 0, 4, 4), P(2, 3)],
    ["point_line_beyond", P(0, 0), L(0, 0, 4, 4), P(5, 5)],
    ["point_circle", P(3, 4), C(0, 0, 5), P(4, 4)],
    ["point_rectangle", P(10, 10), R(0, 0, 10, 10), P(11, 10)],
    ["line_line", L(0, 4, 4, 0), L(0, 0, 4, 4), L(5, 5, 9, 0)],
    ["line_line_collinear", L(4, 4, 6, 6), L(0, 0, 4, 4), L(5, 5, 9, 9)],
    ["line_circle_end", L(5, 0, 9, 0), C(0, 0, 5), L(6, 0, 9, 0)],
    ["line_circle_middle", L(-5, 5, 5, 5), C(0, 0, 5), L(-5, 6, 5, 6)],
    ["line_rectangle", L(-5, 5, 15, 5), R(0, 0, 10, 10), L(-5, -1, 15, -1)],
    ["line_inside_rectangle", L(2, 2, 3, 3), R(0, 0, 10, 10), L(11, 0, 11, 10)],
    ["circle_circle", C(0, 0, 2), C(5, 0, 3), C(-1, 0, 2)],
    ["circle_rectangle", C(15, 5, 5), R(0, 0, 10, 10), C(16, 5, 5)],
    ["rectangle_rectangle", R(10, 10, 20, 20), R(0, 0, 10, 10), R(11, 0, 20, 9)],
];
foreach (t in cases) {
    p(t[0], [Collision.intersects(t[1], t[2]), Collision.intersects(t[2], t[1]), Collision.intersects(t[3], t[2])]);
}
