print("lib/a.nut runs\n");
include("x.nut");            // next to this file: lib/x.nut
include("x.nut", false);     // from the root: x.nut
try { include("nothere.nut"); } catch (e) print("from lib/a.nut: " + e + "\n");
include("y.nut");            // the directory stack is intact after the failure: lib/y.nut
return "a-result";
