// A run-time error ends the script at the end of that frame; the run exits with status 1.
print("frame 1\n");
Util.fwait(60);
print("frame 2\n");
local t = {};
t.missing += 1;
print("must not run\n");
