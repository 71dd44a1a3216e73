print("data/init.nut runs\n"); initialised <- true;
