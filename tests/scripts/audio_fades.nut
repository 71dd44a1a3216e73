// Audio fades and fade-outs, counted in game frames: the values after each
// frame's end, on sounds, groups and channels, and a fade on something that
// is not playing.
function f(v) { return format("%.4g", v); }
function frames(n, probe) {
    local out = [];
    for (local i = 0; i < n; i++) { ::suspend(); out.push(probe()); }
    local s = "";
    foreach (i, x in out) s += (i ? " " : "") + x;
    return s;
}
function r(...) { local s = ""; foreach (i, x in vargv) s += (i ? "," : "") + x; return s; }
function p(name, v) { print(name + ": " + v + "\n"); }

local se = Audio.Sound("se.wav");
se.loop();
// From the current volume to 0 over 4 frames: 1, 0.75, 0.5, 0.25, 0, then done at 0.
p("fade_sound", r(se.fade(4, 0.0)) + " " + frames(7, @() f(se.getVolume())));
// An explicit start; the end value is kept after the fade.
p("fade_from", r(se.fade(2, 0.2, 0.8)) + " " + frames(4, @() f(se.getVolume())));
// Negative frames count as none: the end value on the next frame.
p("fade_negative", r(se.fade(-5, 0.4)) + " " + frames(2, @() f(se.getVolume())));
// fadeOut(3): volume down to 0 and the stop on the 4th frame.
se.setVolume(0.9);
p("fadeout_sound", r(se.fadeOut(3)) + " " + frames(5, @() f(se.getVolume()) + "/" + se.isPlaying()));

// A sound that is not playing jumps to the end value at once.
se.setVolume(1.0);
p("fade_idle", r(se.fade(10, 0.3)) + " " + frames(2, @() f(se.getVolume())));

// Channels: their own volume; a fade-out stops only that channel.
se.setVolume(1.0);
local a = se.loop(), b = se.loop();
p("fade_channel", r(a.fade(2, 0.5)) + " " + frames(4, @() f(a.getVolume()) + "/" + f(b.getVolume())));
p("fadeout_channel", r(b.fadeOut(2)) + " " + frames(4, @() b.isPlaying() + "/" + b.isInvalid() + "/" + a.isPlaying()));
// A fade-out of 0 frames stops on the next frame.
p("fadeout_zero", r(a.fadeOut(0)) + " " + frames(2, @() a.isPlaying() + "/" + f(a.getVolume())));

// Groups fade their own volume; the members keep theirs.
local g = Audio.Group();
local m = Audio.Sound("se.wav", g);
local mixed = g.loop();
p("fade_group", r(g.fade(2, 0.0)) + " " + frames(3, @() f(g.getVolume()) + "/" + f(m.getVolume())));
p("fadeout_group", r(g.setVolume(1.0), g.fadeOut(1)) + " " + frames(3, @() g.isPlaying() + "/" + mixed.isInvalid()));
// A fade on a group play's channel sets every member channel's own volume.
mixed = g.loop();
p("fade_mixed", r(mixed.fade(1, 0.4)) + " " + frames(3, @() f(mixed.getVolume())));
g.stop();
