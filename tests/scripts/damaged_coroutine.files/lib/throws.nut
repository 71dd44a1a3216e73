print("lib/throws.nut runs\n");
throw "thrown in lib";
