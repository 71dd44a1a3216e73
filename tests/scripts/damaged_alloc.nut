// Allocation loops end with the script error "out of memory" once what the scripts hold
// would pass --memory-limit (64 MB here), whatever holds it; the memory is given back when
// the values go, so each loop can run after the one before. The last loop is not caught and
// stops the game with status 1.
function err(f) { try { local r = f(); return "ok " + r; } catch (e) return e; }
local held = [];

print("1 arrays: " + err(function() { while (true) held.append(array(100000)); }) + "\n");
print("  held " + (held.len() > 10 && held.len() < 100) + "\n");
held = [];
print("2 elements: " + err(function() { local a = []; while (true) a.append(a.len()); }) + "\n");
print("3 strings: " + err(function() { local s = "0123456789abcdef"; while (true) s += s; }) + "\n");
print("4 table: " + err(function() { local t = {}; local i = 0; while (true) t[i++] <- i; }) + "\n");
class Node { next = null; constructor(n) { next = n; } }
print("5 instances: " + err(function() { local n = null; while (true) n = Node(n); }) + "\n");
print("6 closures: " + err(function() { local f = null; while (true) { local g = f; f = @() g; } }) + "\n");
print("7 blob: " + err(function() { local b = blob(0); local n = 1; while (true) { n *= 2; b.resize(n); } }) + "\n");
print("8 blob writes: " + err(function() { local b = blob(0); while (true) b.writen(1, 'i'); }) + "\n");
print("9 IO.Blob: " + err(function() { while (true) held.append(IO.Blob(4000000)); }) + "\n");
held = null;
print("10 array(n): " + err(@() array(100000000)) + " " + err(@() array(0x7fffffff)) + "\n");
print("11 string repeat: " + err(function() { local parts = []; while (true) parts.append(format("%08d", parts.len()) + "x"); }) + "\n");
// after all that, ordinary work still runs
local a = array(1000, 1);
print("12 after: " + a.len() + " " + "abc".toupper() + "\n");
Util.fwait(60);
print("13 next frame\n");
local all = [];
while (true) all.append(array(100000, "x"));
