// `Math` prelude: run once at start-up with the root table as `this`, after
// the native `Math.Random`, `Math.Bezier`, `Math.toRadian` and
// `Math.toDegree` have been put into `Math`. It adds element-wise arithmetic
// on numbers and arrays, interpolation and clamping, minimum and maximum,
// shuffling, ranges and plane geometry. Functions of the table find its other
// slots through `this`, so they are meant to be called through the table
// (`Math.add(a, b)`); every slot may be replaced.

// ------------------------------------------------------------ element-wise

// Applies op(l, r) the way the arithmetic functions do: two arrays of the
// same length pair by pair (different lengths give null), an array and a
// scalar with the scalar on its own side for every element, two scalars once.
function Math::elementwise_(lhs, rhs, op)
{
    local la = typeof lhs == "array";
    local ra = typeof rhs == "array";
    if (la && ra) {
        local n = lhs.len();
        if (n != rhs.len()) return null;
        local out = array(n);
        for (local i = 0; i < n; i++) out[i] = op(lhs[i], rhs[i]);
        return out;
    }
    if (la) return lhs.map(function(l) { return op(l, rhs); });
    if (ra) return rhs.map(function(r) { return op(lhs, r); });
    return op(lhs, rhs);
}

function Math::add(lhs, rhs) { return this.elementwise_(lhs, rhs, function(l, r) { return l + r; }); }
function Math::sub(lhs, rhs) { return this.elementwise_(lhs, rhs, function(l, r) { return l - r; }); }
function Math::mul(lhs, rhs) { return this.elementwise_(lhs, rhs, function(l, r) { return l * r; }); }
function Math::div(lhs, rhs) { return this.elementwise_(lhs, rhs, function(l, r) { return l / r; }); }
function Math::mod(lhs, rhs) { return this.elementwise_(lhs, rhs, function(l, r) { return l % r; }); }

// ---------------------------------------------------- interpolation, clamps

function Math::lerp_v(start, end, ratio)
{
    return start + (end - start) * ratio;
}

// lerp_v on numbers or on arrays element by element (the array rules of
// `add`); the ratio is one number for every element.
function Math::lerp(start, end, ratio)
{
    local lerp_v = this.lerp_v;
    return this.elementwise_(start, end, function(s, e) { return lerp_v(s, e, ratio); });
}

function Math::clamp_v(n, min, max)
{
    if (n < min) return min;
    if (n > max) return max;
    return n;
}

// clamp_v on a number, or a new array with every element clamped.
function Math::clamp(n, min, max)
{
    local clamp_v = this.clamp_v;
    if (typeof n == "array") return n.map(function(e) { return clamp_v(e, min, max); });
    return clamp_v(n, min, max);
}

// The smallest of the arguments, or of the elements when the first argument
// is an array; the first of equal values wins. An empty array gives null.
function Math::min(...)
{
    if (vargv.len() == 0) throw "wrong number of parameters";
    local values = typeof vargv[0] == "array" ? vargv[0] : vargv;
    local best = null;
    foreach (i, value in values) {
        if (i == 0 || value < best) best = value;
    }
    return best;
}

// The largest, with the same rules as `min`.
function Math::max(...)
{
    if (vargv.len() == 0) throw "wrong number of parameters";
    local values = typeof vargv[0] == "array" ? vargv[0] : vargv;
    local best = null;
    foreach (i, value in values) {
        if (i == 0 || value > best) best = value;
    }
    return best;
}

// --------------------------------------------------------------- shuffling

// Shuffles the array in place: element i changes place with one chosen from
// i to the end. A seed makes the order repeatable; without one every call
// differs.
function Math::shuffle(values, seed = null)
{
    local random = this.Random();
    if (seed != null) random.setSeed(seed);
    local last = values.len() - 1;
    for (local i = 0; i <= last; i++) {
        local j = random.nextInt(i, last);
        local kept = values[i];
        values[i] = values[j];
        values[j] = kept;
    }
}

// A shuffled copy; the array given stays as it is.
function Math::shuffled(values, seed = null)
{
    local copy = clone values;
    this.shuffle(copy, seed);
    return copy;
}

// ------------------------------------------------------------ ranges, plane

// [start, start + step, ...] up to end (included when it is reached); the
// step's sign follows the direction from start to end. A step of 0 between
// different bounds raises an error. The sequence stops before a value would
// wrap around the integer range.
function Math::range(start, end, step = 1)
{
    if (step < 0) step = -step;
    if (start == end) return [start];
    if (step == 0) throw "Math.range: step is 0";
    local out = [start];
    local value = start;
    if (start < end) {
        for (;;) {
            local next = value + step;
            if (next <= value || next > end) break;
            out.push(next);
            value = next;
        }
    } else {
        step = -step;
        for (;;) {
            local next = value + step;
            if (next >= value || next < end) break;
            out.push(next);
            value = next;
        }
    }
    return out;
}

// Whether value lies between begin and end, both included, in either order.
function Math::between(value, begin, end)
{
    if (begin > end) {
        local kept = begin;
        begin = end;
        end = kept;
    }
    return value >= begin && value <= end;
}

// The two points of `distance` and `angle`: ([x1, y1], [x2, y2]) or
// (x1, y1, x2, y2), as [x1, y1, x2, y2].
function Math::points_(args)
{
    if (args.len() == 2) return [args[0][0], args[0][1], args[1][0], args[1][1]];
    if (args.len() == 4) return args;
    throw "wrong number of parameters";
}

function Math::distance(...)
{
    local p = this.points_(vargv);
    local dx = p[2] - p[0];
    local dy = p[3] - p[1];
    return ::sqrt(dx * dx + dy * dy);
}

// The direction from the first point to the second in radians (atan2).
function Math::angle(...)
{
    local p = this.points_(vargv);
    return ::atan2(p[3] - p[1], p[2] - p[0]);
}
