// exit(code) ends the run at the end of the frame with status 0 whatever the code; stop()
// never continues but the frames go on.
print("exit flag " + qlse_exit_flag___ + "\n");
local th = newthread(function() { stop(); print("stop must not continue\n"); });
th.call();
print("stop suspended only its thread\n");
exit(3);
print("must not run\n");
