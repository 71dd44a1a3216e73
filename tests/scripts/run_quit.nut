// quit() asks to close the window; headless runs answer the confirmation Yes, so the rest of
// the frame runs and the game ends before the next one.
print("before quit\n");
print("quit returns " + quit() + "\n");
Util.fwait(60);
print("must not run\n");
