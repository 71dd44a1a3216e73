// Standard library: split, stream ends and the stream class, table rawset,
// sort comparators, string to number conversion, regexp errors, blob keys
function show(label, v) { print(label + ": " + v + "\n") }
function attempt(f) { try { return f() } catch (e) { return "error: " + e } }
function list(a) {
  local s = "[" + a.len() + "]"
  foreach (x in a) s += " <" + x + ">"
  return s
}

// split drops empty pieces
show("split ends and runs", list(split(",a,,b,", ",")))
show("split several separators", list(split("1.2-3;;4", ".-;")))
show("split empty", list(split("", ",")))
show("split only separators", list(split(",,,", ",")))
show("split no separator found", list(split("abc", ",")))
show("split empty separators", attempt(@() split("abc", "")))

// eos is 1 exactly at the end, null elsewhere
local b = blob(2)
show("blob start", b.eos())
b.seek(1)
show("blob middle", b.eos())
b.readn('b')
show("blob end", b.eos())
show("blob empty", blob(0).eos())
local path = "/tmp/sq_script_tests_eos.txt"
local f = file(path, "wb")
f.writen(65, 'b'); f.writen(66, 'b')
f.close()
f = file(path, "rb")
show("file start", f.eos())
f.readn('b')
show("file middle", f.eos())
f.readn('b')
show("file after the last byte", f.eos())
f.close()
remove(path)

// blobs and files are streams
show("stream class", typeof stream + " " + (blob(1) instanceof stream) + " " + (stream == blob.getbase()))

// a table's rawset returns null
local t = {}
show("rawset", t.rawset("k", 1) + " " + t.k)

// a comparator's float result counts by its sign
local nums = [3, 1, 2, 5, 4]
nums.sort(@(x, y) (x - y) * 0.5)
show("float comparator", nums.reduce(@(a, c) a + " " + c))
nums.sort(@(x, y) (y - x) / 10.0)
show("float comparator small", nums.reduce(@(a, c) a + " " + c))
show("string comparator", attempt(@() [2, 1].sort(@(x, y) "x")))

// string to number conversion on 32 bits
show("tointeger above", "2147483648".tointeger())
show("tointeger below", "-2147483649".tointeger())
show("tointeger far", "99999999999".tointeger() + " " + "-99999999999".tointeger())
show("tofloat without point", "99999999999".tofloat() + " " + "2147483648".tofloat())
show("tofloat with point", "99999999999.0".tofloat() + " " + "1e11".tofloat())

// regexp errors
foreach (pattern in ["(ab", "ab\\", "[]", "[^]x", "("])
  show("regexp " + pattern, attempt(@() regexp(pattern)))

// a blob's _get takes numbers only
local bl = blob(2)
bl[0] = 7
show("blob number key", bl[0] + " " + bl[1.0])
show("blob string key", attempt(@() bl["x"]))
show("blob tostring", attempt(@() bl.tostring()))
show("blob methods", bl.len() + " " + bl.tell())
