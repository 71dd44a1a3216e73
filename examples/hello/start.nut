// The smallest game: it opens its window, greets the player and counts its frames for three
// seconds at 60 frames per second, then ends.
println("Hello from " + cmdline[0]);
println("Quillorane " + QUILLORANE_VERSION + ", Squirrel " + SQUIRREL_VERSION + (DEBUG ? ", debug on" : ""));

local clock = Util.Timer();
for (local frame = 1; frame <= 180; frame++) {
    if (frame % 60 == 0) println("second " + frame / 60 + " (" + clock.get() + " ms)");
    Util.fwait(60);
}
println("Goodbye.");
