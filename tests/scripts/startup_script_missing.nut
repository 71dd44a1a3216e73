print("start.nut must not run\n");
