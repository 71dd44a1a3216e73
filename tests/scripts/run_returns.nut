// A script that never suspends runs its whole body in the first frame; the run then ends.
for (local i = 0; i < 3; i++) print("line " + i + "\n");
