print("lib/suspends.nut runs\n");
suspend("from an include");
print("lib/suspends.nut must not resume\n");
