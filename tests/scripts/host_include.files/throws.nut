print("throws.nut runs\n");
throw "boom";
