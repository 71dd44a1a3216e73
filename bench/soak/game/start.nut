// The soak game: sprites that bounce and turn, text that changes every frame, a sound started
// every few frames and music looping, forever (the soak program ends it). Everything a long
// session of a real game does each frame: new strings, temporary arrays, short-lived sounds.
// This file is Shift-JIS, as game scripts are.
const W = 640;
const H = 480;
local screen = Graphics.getScreenCanvas();

// the sprite: drawn once onto a canvas of its own
local sprite = Graphics.Canvas(32, 32);
sprite.clear([0, 0, 0, 0]);
sprite.begin();
sprite.drawCircle([16, 16, 15], Graphics.Paint.FILL, [255, 240, 200, 80]);
sprite.drawCircle([16, 16, 9], Graphics.Paint.FILL, [255, 90, 160, 240]);
sprite.end();

local seed = 7;
function next(n) {
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF;
    return (seed >> 8) % n;
}
local sprites = [];
for (local i = 0; i < 500; i++) sprites.push([next(W - 32), next(H - 32), next(7) - 3, next(7) - 3]);

local font = Graphics.Font("‚l‚r ƒSƒVƒbƒN", 16);
local blip = Audio.Sound("blip.wav");
local music = Audio.Sound("tone.ogg");
music.loop();

for (local frame = 0; ; frame++) {
    foreach (s in sprites) {
        s[0] += s[2];
        s[1] += s[3];
        if (s[0] < 0 || s[0] > W - 32) s[2] = -s[2];
        if (s[1] < 0 || s[1] > H - 32) s[3] = -s[3];
    }
    screen.begin();
    screen.clear([0, 10, 16, 48]);
    foreach (i, s in sprites) screen.drawImage(sprite, [s[0], s[1]], null, [frame * 0.02 + i, 16, 16]);
    screen.drawText(font, "frame " + frame + "  sprites " + sprites.len(), [8, 8], [255, 255, 255]);
    screen.drawText(font, format("%d:%02d", frame / 3600, frame / 60 % 60), [8, 28], [255, 255, 220, 120]);
    screen.end();
    if (frame % 15 == 0) blip.play();
    Util.fwait(60);
}
