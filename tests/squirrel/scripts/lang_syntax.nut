// Syntax: the comma operator, number literals, refused forms and compile messages
function show(label, v) { print(label + ": " + v + "\n") }
function compileError(src) {
  try { compilestring(src); return "compiled" } catch (e) { return e }
}

// the comma operator evaluates every operand in order and yields the last
local a = 1, b = 0, log = ""
local c = (a, 7)
show("paren", c)
a++, b++
show("statement", a + " " + b)
function ret() { return log += "r", 9 }
show("return", ret() + " " + log)
if (log = "", a > 100, true) show("if", "taken")
local n = 0
while (log += "w", n++ < 2) {}
show("while", log + " " + n)
do { n-- } while (log = "d", n > 0)
show("do", log + " " + n)
switch (n += 5, n) { case 5: show("switch", "five"); break; default: show("switch", "other") }
try { throw a = 3, "thrown" } catch (e) show("throw", e + " " + a)
local t = { [a += 1, "k"] = 5 }
show("table key", t.k + " " + a)
class K { [a, "m"] = 6 }
show("class key", K.m)
function gen() { yield n = 11, 12 }
show("yield", resume gen() + " " + n)
for (local i = 0, j = 10; i < j; i += 4, j -= 4) log = i + "/" + j
show("for", log)
// operands before the last still perform their lookups
try { local z = (t.missing, 1); show("lookup", z) } catch (e) show("lookup", e)
// no comma operator where commas separate items
local arr = [a, (a, 8)]
show("array", arr.len() + " " + arr[1])

// number literals
show("decimal 08 09", 08 + " " + 09 + " " + 089)
show("octal", 07 + " " + 017)
show("bare 0x", 0x + " " + typeof 0x)
show("018", compileError("return 018"))

// forms the language refuses
show("class comma", compileError("class C { a = 1, b = 2 }"))
show("class semicolon", compileError("class C { a = 1; b = 2 }"))
show("enum value", compileError("enum E { A, B } local e = E"))
show("enum member", compileError("enum E { A, B } return E.B"))
show("do bare", compileError("local i = 0; do i++; while (i < 3)"))
show("do bare line", compileError("local i = 0; do i++\nwhile (i < 3)"))
show("do block", compileError("local i = 0; do { i++ } while (i < 3)"))
show("try bare", compileError("try a <- 1; catch (e) {}"))
show("try bare line", compileError("try a <- 1\ncatch (e) {}"))

// compile messages
show("unclosed block", compileError("function f() { print(1)"))
show("unclosed call", compileError("print(1"))
show("unclosed call comma", compileError("print(1,"))
show("delete local", compileError("local x = 1; delete x"))
show("delete outer", compileError("local x = 1; function f() { delete x }"))
show("delete expression", compileError("delete 1"))
