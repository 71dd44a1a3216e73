// Indexing, weak references, metamethod lookup, class metamethods, _cmp,
// the root-table fallback of 'this' and the values inside error messages
function show(label, v) { print(label + ": " + v + "\n") }
function attempt(f) { try { return f() } catch (e) { return "error: " + e } }

// indexing with null never finds a slot
class C { x = 1 }
foreach (o in [{ a = 1 }, [1, 2], "abc", C, C()])
  show("null index " + typeof o, attempt(@() o[null]))

// weak references read out of a slot or an element stand for their target
local target = { v = 5 }
local holder = [target.weakref()]
show("array element", typeof holder[0] + " " + holder[0].v)
local slots = { w = target.weakref() }
show("table slot", typeof slots.w + " " + slots.w.v + " " + typeof slots["w"])
class Box { item = null }
local box = Box()
box.item = target.weakref()
show("instance member", typeof box.item + " " + box.item.v)
local direct = target.weakref()
show("local", typeof direct + " " + direct.ref().v)
foreach (k, v in slots) show("foreach table", typeof v)
foreach (v in holder) show("foreach array", typeof v)
holder.append({ gone = true }.weakref())
show("dead target", holder[1])

// metamethods come from the object's own delegate only
local d2 = { _add = @(o) "d2 add", _tostring = @() "d2 text", _typeof = @() "d2type", _unm = @() "d2 neg",
             _call = @(self) "d2 call", _cmp = @(o) 0, _newslot = @(k, v) null, _delslot = @(k) null,
             _cloned = function(o) { throw "_cloned called" }, shared = "through" }
local d1 = {}.setdelegate(d2)
local x = {}.setdelegate(d1)
show("plain lookup", x.shared)
show("_add", attempt(@() x + 1))
show("_tostring", x.tostring().slice(0, 8))
show("_typeof", typeof x)
show("_unm", attempt(@() -x))
show("_call", attempt(@() x()))
local z = {}.setdelegate(d1)
show("_cmp", attempt(@() x <= z && z <= x))
x.fresh <- 1
show("_newslot", x.fresh)
delete x.fresh
show("_delslot", "fresh" in x)
show("_cloned", attempt(@() typeof clone x))
local y = {}.setdelegate(d2)
show("own delegate", (y + 1) + " " + y.tostring() + " " + typeof y)

// metamethods declared in a class are no members
class M {
  v = 3
  function _tostring() { return "M" + v }
  function _add(o) { return v + o }
  function plain() { return "plain" }
}
show("in class", ("_tostring" in M) + " " + ("plain" in M) + " " + ("_add" in M()))
show("read", attempt(@() M._tostring))
show("act", M().tostring() + " " + (M() + 4))
local members = []
foreach (k, v in M) members.append(k)
members.sort()
show("members", members.len() + " " + members[0] + " " + members[1])
class N extends M { function _add(o) { return "N" + o } }
show("inherited", N().tostring() + " " + (N() + 1))

// _cmp: operands of one type, an integer result
class P {
  n = 0
  r = 0
  constructor(a, res) { n = a; r = res }
  function _cmp(o) { return r }
}
show("cmp same type", (P(1, -1) < P(2, 0)) + " " + (P(1, 1) > P(2, 0)))
show("cmp other type", attempt(@() P(1, -1) < 1))
show("cmp float result", attempt(@() P(1, 0.5) < P(2, 0)))
show("cmp string result", attempt(@() P(1, "x") <= P(2, 0)))

// a failed lookup on 'this' falls back to the root table, whatever 'this' is
name <- "global name"
function useThis() { return this.name }
function useBare() { return name }
function useIndex() { return this["name"] }
class K {}
foreach (env in [K(), K, { other = 1 }])
  show("fallback " + typeof env, useThis.bindenv(env)() + " / " + useBare.bindenv(env)() + " / " + useIndex.bindenv(env)())
show("no fallback elsewhere", attempt(@() K().name))
function tailBound() {
  local o = { v = 3 }
  local g = (function() { return this.v }).bindenv(o)
  return g()
}
show("tail call to a bound function", tailBound())

// values inside messages
local t = {}
show("float key", attempt(@() t[0.1]))
show("float key 2", attempt(@() t[1.0 / 3]))
show("long key", attempt(@() t["abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz0123456789"]))
show("compare float", attempt(@() 2.5 < "a"))
show("compare long", attempt(@() 1 < "0123456789012345678901234567890123456789012345678901234567890123456789"))
show("instanceof", attempt(@() C() instanceof 1))
show("instanceof 2", attempt(@() 1 instanceof "s"))
