print("lib/y.nut runs\n");
