// Math: the native Random, Bezier and angle conversions and the prelude's
// element-wise arithmetic, clamps, min/max, shuffles, ranges and plane
// geometry. Run as a game's start.nut; compared with math_prelude.expected.
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

// Angles in single precision.
p("angles", [format("%.9g", Math.toRadian(180.0)), Math.toDegree(Math.toRadian(90.0)), Math.toRadian(0), typeof Math.toDegree(1)]);

// Random: seeding, the three forms of nextInt and nextFloat, setSeed.
local r = Math.Random(42), same = Math.Random(42.9);
p("random_seed", [r.getSeed(), same.getSeed()]);
p("random_ints", [r.nextInt(0, 9), r.nextInt(0, 9), r.nextInt(), r.nextInt(100)]);
p("random_same", [same.nextInt(0, 9), same.nextInt(0, 9), same.nextInt(), same.nextInt(100)]);
p("random_fixed", [r.nextInt(5, 5), r.nextInt(0, 0), r.nextInt(-2147483648, -2147483648)]);
local f = r.nextFloat(), g = r.nextFloat(2.0), h = r.nextFloat(-1, 1);
p("random_floats", [typeof f, f >= 0 && f <= 1, g >= 0 && g <= 2, h >= -1 && h <= 1]);
r.setSeed(42);
p("random_reseeded", [r.getSeed(), r.nextInt(0, 9), r.nextInt(0, 9)]);
p("random_time_seed", typeof Math.Random().getSeed());
p("random_errors", [err(@() Math.Random("x")), err(@() Math.Random(1, 2)), err(@() r.nextInt(1, 2, 3)),
                    err(@() r.nextFloat("a"))]);

// Bezier: de Casteljau, extrapolation, bad control points, no points.
local b = Math.Bezier([[0, 0], [10, 0], [10, 10]]);
p("bezier", [b.get(0.5), b.get(0), b.get(1), b.get(-1)]);
p("bezier_one", Math.Bezier([[3, 4.5]]).get(0.25));
p("bezier_empty", Math.Bezier([]).get(0.5));
p("bezier_unconstructed", Math.Bezier.instance().get(0.5));
p("bezier_errors", [err(@() Math.Bezier([[0, 0], 5])), err(@() Math.Bezier([[0, 0], [1]])),
                    err(@() Math.Bezier([[0, "y"]])), err(@() Math.Bezier()), err(@() Math.Bezier({}))]);

// Element-wise arithmetic.
p("add", [Math.add(1, 2), Math.add([1, 2], [3, 4]), Math.add([1, 2], [3]), Math.add([1, 2], 10), Math.add(10, [1, 2])]);
p("sub", [Math.sub(10, [1, 2]), Math.sub([10, 20], 1), Math.sub([], [])]);
p("mul_div_mod", [Math.mul([2, 3], 1.5), Math.div(7, [2, 2.0]), Math.mod([7, 8], 3)]);
p("lerp", [Math.lerp_v(0, 10, 0.25), Math.lerp([0, 10], [10, 30], 0.5), Math.lerp([0], [1, 2], 0.5), Math.lerp(2, [4, 6], 0.5)]);
p("clamp", [Math.clamp_v(5, 0, 3), Math.clamp(-1, 0, 3), Math.clamp([-5, 1, 9], 0, 3)]);

// min / max: the first of equal values wins (1 and 1.0 are equal).
p("min", [Math.min(4, 2, 8), Math.min([4, 2, 8]), Math.min(1, 1.0), Math.min(1.0, 1), Math.min([]), Math.min(7)]);
p("max", [Math.max(4, 9, 8), Math.max([4, 9, 8], 100), Math.max(2, 2.0), Math.max("b", "a")]);
p("min_max_errors", [err(@() Math.min()), err(@() Math.max())]);

// Shuffles: repeatable with a seed, in place or as a copy.
local a = [1, 2, 3, 4, 5, 6, 7];
p("shuffled", [Math.shuffled(a, 7), Math.shuffled(a, 7), a]);
local c = clone a;
p("shuffle", [Math.shuffle(c, 7), c]);
local u = Math.shuffled(a);
u.sort();
p("shuffled_unseeded_keeps_elements", u);
p("shuffle_empty", Math.shuffled([], 1));

// Ranges.
p("range", [Math.range(1, 5, 2), Math.range(5, 1), Math.range(3, 3), Math.range(1, 6, 2), Math.range(5, 1, -2)]);
p("range_float", Math.range(0, 1, 0.25));
p("range_step0", [err(@() Math.range(1, 5, 0)), Math.range(2, 2, 0)]);
p("range_no_wrap", [Math.range(2147483640, 2147483647, 5), Math.range(-2147483640, -2147483648, 5)]);

// Plane helpers.
p("between", [Math.between(5, 1, 10), Math.between(5, 10, 1), Math.between(10, 1, 10), Math.between(0, 1, 10)]);
p("distance", [Math.distance(0, 0, 3, 4), Math.distance([1, 1], [4, 5]), err(@() Math.distance(1, 2, 3))]);
p("angle", [Math.angle(0, 0, 0, 1), Math.angle([0, 0], [-1, 0]), err(@() Math.angle())]);
