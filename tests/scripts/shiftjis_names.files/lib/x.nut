print("lib/x.nut runs\n");
