// Collection: copy, removed/selected and their in-place forms on arrays
// and tables. Run as a game's start.nut; compared with
// collection_prelude.expected.
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
local even = @(k, v) v % 2 == 0;
local a = [1, 2, 3, 4, 5];
local t = {a = 1, b = 2, c = 3};

// copy: arrays are resized and filled, tables cleared and refilled, dst returned.
local dst = [9, 9, 9, 9, 9, 9, 9];
local back = Collection.copy(dst, [1, 2]);
p("copy_array", [dst, back == dst]);
local td = {x = 1};
p("copy_table", [Collection.copy(td, {y = 2, z = 3}), td]);
p("copy_self", [Collection.copy(a, a), Collection.copy(t, t)]);
p("copy_errors", [err(@() Collection.copy([], {})), err(@() Collection.copy("a", "b")), err(@() Collection.copy(null, []))]);

// removed / selected: new collections, arrays renumbered, keys passed to the filter.
local keys = [];
p("selected", [Collection.selected(a, even), Collection.selected(t, @(k, v) k != "b"), a]);
p("removed", [Collection.removed(a, even), Collection.removed(t, @(k, v) v > 1), t]);
p("filter_keys", [Collection.selected(["x", "y", "z"], @(k, v) k > 0), Collection.selected(a, @(k, v) 1)]);
p("filter_errors", [err(@() Collection.selected("abc", even)), err(@() Collection.removed(5, even))]);

// remove / select: in place, the same object comes back.
local b = [1, 2, 3, 4, 5, 6];
local r = Collection.remove(b, even);
p("remove", [b, r == b]);
local u = {a = 1, b = 2, c = 3, d = 4};
Collection.select(u, @(k, v) v % 2 == 0);
p("select", u);
p("inplace_errors", [err(@() Collection.remove(null, even)), err(@() Collection.select(1.5, even))]);
