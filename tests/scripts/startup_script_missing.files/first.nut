print("first.nut runs\n");
