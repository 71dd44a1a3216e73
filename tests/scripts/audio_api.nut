// Audio: the constructors and their failures, where sounds are found, play and
// loop with their masks and null results, 1/0 answers, volume and speed ranges,
// channel and group lifetimes. Fades have their own test (audio_fades).
function show(v) {
    switch (typeof v) {
    case "string": return "'" + v + "'";
    case "float": return format("%.4g", v);
    case "array": local s = ""; foreach (i, x in v) s += (i ? ", " : "") + show(x); return "[" + s + "]";
    case "instance": return v instanceof Audio.Channel ? "Channel" : "instance";
    default: return v == null ? "null" : v.tostring();
    }
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) { try { f(); } catch (e) { return e; } return "no error"; }

// Classes of the table, in registration order of their names.
local names = [];
foreach (k, v in Audio) names.push(k);
names.sort();
p("table", names);

// Constructors: "s" and "sx" for Sound, "" and "x" for Group, anything for Channel.
p("sound_ctor", [err(@() Audio.Sound()), err(@() Audio.Sound(1)), err(@() Audio.Sound("se.wav", 5)),
                 err(@() Audio.Sound("se.wav", Audio.Group(), 1)), err(@() Audio.Sound("missing.wav")),
                 err(@() Audio.Sound("broken.wav")), err(@() Audio.Sound("se.wav", Audio.Channel()))]);
p("group_ctor", [err(@() Audio.Group(1)), err(@() Audio.Group(null)), err(@() Audio.Group(Audio.Group(), 2)),
                 err(@() Audio.Group(Audio.Channel()))]);

// Loose files (either separator, any case), Ogg Vorbis, a file inside an archive of the game.
local se = Audio.Sound("se.wav");
local blip = Audio.Sound("SUB\\Blip.WAV");
local tone = Audio.Sound("tone.ogg");
local packed = Audio.Sound("bgm/packed.wav");
p("lengths", [se.getLength(), blip.getLength(), tone.getLength(), packed.getLength()]);

// play: masks "" and "i"; a start at or past the end (a negative one too) gives null.
local a = se.play(), b = se.play(), c = se.play(100);
p("play", [a, b, c, se.play(se.getLength()), se.play(-1), se.play(2.9), err(@() se.play(1, 2)), err(@() se.play("x"))]);
p("three_channels", [b.stop(), a.isPlaying(), b.isPlaying(), c.isPlaying(), typeof a.isPlaying(), se.isPlaying(), typeof se.isPlaying()]);
p("sound_stop", [se.stop(), a.isPlaying(), c.isPlaying(), a.isInvalid(), c.isInvalid(), se.isPlaying()]);

// loop: masks "", "i", "ii", "iii"; a loop start at or past the end gives null.
p("loop", [tone.loop(), tone.loop(10), tone.loop(0, 2), tone.loop(0, 2, 100), tone.loop(0, 1, tone.getLength()),
           tone.loop(tone.getLength()), err(@() tone.loop(1, 2, 3, 4)), err(@() tone.loop("a", 1))]);
p("pause", [tone.pause(), tone.isPaused(), tone.isPlaying(), tone.restart(), tone.isPaused(), tone.stop(), tone.isPlaying()]);

// Volume 0..1 and speed 0..2 on sounds and groups; a channel's speed 0.5..2.
p("sound_volume", [se.setVolume(1.5), se.setVolume(-0.1), se.getVolume(), se.setVolume(0.25), se.getVolume(),
                   se.setVolume(1), typeof se.getVolume()]);
p("sound_speed", [se.setSpeed(2.5), se.setSpeed(2), se.getSpeed(), se.setSpeed(0), se.getSpeed(), se.setSpeed(1)]);
local ch = se.loop();
p("channel_values", [ch.setVolume(1.1), ch.setVolume(0.5), ch.getVolume(), ch.setSpeed(0.25), ch.setSpeed(2.1),
                     ch.setSpeed(0.5), ch.getSpeed(), ch.setSpeed(2), ch.getSpeed(), err(@() ch.setVolume("loud"))]);
p("channel_pause", [ch.pause(), ch.isPaused(), ch.isPlaying(), ch.pause(), ch.restart(), ch.restart(), ch.isPaused()]);

// A stopped channel is finished: it answers isInvalid 1 and refuses every change.
p("finished", [ch.stop(), ch.isInvalid(), ch.isPlaying(), ch.stop(), ch.pause(), ch.restart(), ch.setVolume(0.3),
               ch.getVolume(), ch.setSpeed(1), ch.fade(5, 0.0), ch.fade(5, 1.0, 0.0), ch.fadeOut(5)]);

// A channel that plays to its end is finished too (the output runs in real time).
local short = blip.play();
local spins = 0;
while (!short.isInvalid() && spins < 100000000) spins++;
p("ended", [short.isInvalid(), short.isPlaying(), short.setVolume(0.5), blip.isPlaying()]);

// A channel made by a script holds nothing.
local empty = Audio.Channel();
p("empty_channel", [empty.isInvalid(), empty.isPlaying(), empty.isPaused(), empty.stop(), empty.pause(), empty.restart(),
                    empty.setVolume(0.5), empty.getVolume(), empty.setSpeed(1), empty.getSpeed(), empty.fade(1, 0.0),
                    empty.fade(1, 0.0, 1.0), empty.fadeOut(1), err(@() empty.fade(1))]);

// Groups: an empty one plays nothing; a play of a group is one channel over its members.
local g = Audio.Group();
p("empty_group", [g.play(), g.loop(), g.isPlaying(), g.getLength(), g.stop(), g.setVolume(0.5), g.getVolume()]);
local s1 = Audio.Sound("se.wav", g), s2 = Audio.Sound("tone.ogg", g);
local mixed = g.loop();
p("group_play", [mixed, g.getLength(), g.isPlaying(), s1.isPlaying(), s2.isPlaying(), mixed.setSpeed(1.5),
                 mixed.setSpeed(0.75), mixed.getSpeed(), mixed.setVolume(0.5), mixed.getVolume()]);
p("group_pause", [g.pause(), s1.isPaused(), mixed.isPaused(), g.restart(), mixed.isPaused(), mixed.stop(),
                  mixed.isInvalid(), g.isPlaying()]);
p("group_ranges", [g.setVolume(1.01), g.setVolume(0), g.getVolume(), g.setSpeed(2.01), g.setSpeed(0.5), g.getSpeed()]);

// Nested groups: starting and stopping the outer one reaches the inner one's sounds.
local outer = Audio.Group(), inner = Audio.Group(outer);
local deep = Audio.Sound("bgm\\packed.wav", inner);
p("nested", [outer.loop(0, 0, 0), deep.isPlaying(), outer.isPlaying(), outer.getLength(), outer.stop(), deep.isPlaying()]);

// A sound leaves its group with its last reference.
s2 = null;
p("left_group", [g.getLength(), s1.getLength()]);
s1 = null;
p("group_emptied", [g.getLength(), g.play()]);
deep = null;
p("inner_emptied", [outer.getLength(), outer.play()]);

// A channel keeps its play going after the script drops the sound.
local keep = Audio.Sound("se.wav").loop();
p("orphan_channel", [keep.isPlaying(), keep.isInvalid(), keep.stop(), keep.isInvalid()]);
