print("x.nut runs\n"); return 5;
