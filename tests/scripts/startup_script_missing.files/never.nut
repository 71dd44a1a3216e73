print("never.nut must not run\n");
