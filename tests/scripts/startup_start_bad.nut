print("must not run\n");
local = 3;
