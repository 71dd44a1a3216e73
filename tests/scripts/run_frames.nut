// The game runs until --frames ends it (600 frames in these tests), one resume per frame.
local n = 0;
while (true) {
    n++;
    if (n % 150 == 0) print("frame " + n + "\n");
    Util.fwait(60);
}
