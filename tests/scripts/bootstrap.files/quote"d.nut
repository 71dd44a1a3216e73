print("quote\"d.nut runs\n");
