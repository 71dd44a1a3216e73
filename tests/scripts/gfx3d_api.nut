// Graphics.Camera, World, Actor, Effect3D.Fog and Video: the result of every method for
// valid and invalid arguments. The game's window is the default 640 x 480.

function text(x) {
    if (x == null) return "null";
    if (typeof x == "array") {
        local s = "[";
        foreach (i, e in x) s += (i ? ", " : "") + text(e);
        return s + "]";
    }
    if (typeof x == "float") return format("%.7g", x);
    return x.tostring();
}
// One line per group: its name, then each value in turn.
function line(name, values) {
    local s = name + ":";
    foreach (v in values) s += " " + text(v);
    print(s + "\n");
}
function err(f) {
    try { f(); } catch (e) { return e; }
    return "no error";
}

// Camera: defaults (aspect from the screen), vectors as arrays or three numbers, the rest.
local c = Graphics.Camera();
line("camera defaults", [c.getPosition(), c.getLook(), c.getUp(), c.getFov(), c.getNear(), c.getFar(), c.getAspect()]);
line("camera vectors", [c.setPosition(1, 2, 3), c.getPosition(), c.setLook([4, 5.5, -6]), c.getLook(),
                        c.setUp(0, 0, 1), c.getUp()]);
line("camera bad vectors", [c.setLook([1, 2]), c.setLook([1, 2, 3, 4]), c.setLook(["1", 2, 3]), c.setLook(null),
                            c.setLook(7), c.getLook()]);
line("camera values", [c.setFov(0.5), c.setNear(2), c.setFar(100.5), c.getFov(), c.getNear(), c.getFar()]);
line("camera aspect", [c.setAspect(16, 9), c.getAspect(), c.setAspect(1.5), c.getAspect(),
                       c.setAspect(0), c.setAspect(4, 0), c.setAspect(0, 4), c.getAspect()]);
line("camera errors", [err(@() c.setPosition("x", 1, 2)), err(@() c.setPosition(1, 2)), err(@() c.getFov(1)),
                       err(@() c.setAspect())]);

// World: actors from model files; a missing or broken file gives null without an error.
local w = Graphics.World();
line("world", [w.createActor("models/missing.mqo"), w.createActor("models/broken.mqo"),
               w.createActor("models\\TRIANGLE.mqo") instanceof Graphics.Actor,
               err(@() w.createActor()), err(@() w.createActor(1)), err(@() w.createActor("a", "b"))]);
local Base = Graphics.Actor;
Graphics.Actor = class extends Base { function tag() { return "mine"; } };
line("world uses the script's Actor", [w.createActor("models/triangle.mqo").tag()]);
Graphics.Actor = Base;

// Actor: state and placement.
local a = w.createActor("models/triangle.mqo");
local b = w.createActor("models/triangle.mqo");
line("actor defaults", [a.isReleased(), a.isVisible(), a.isClipping(), a.getPriority(), a.getPosition(),
                        a.getRotation(), a.getScale()]);
line("actor flags", [a.setVisible(2), a.isVisible(), a.setVisible(1), a.isVisible(), a.setVisible(true),
                     a.isVisible(), a.setClipping(0), a.isClipping()]);
line("actor priority", [a.setPriority(-7.9), a.getPriority()]);
line("actor placement", [a.setPosition(1, 2, 3), a.setRotation([0.5, 0, 0]), a.setScale([2, 2, 2]),
                         a.getPosition(), a.getRotation(), a.getScale()]);
line("actor bad vectors", [a.setPosition([1, 2]), a.setScale("big"), a.setRotation([null, 1, 2]),
                           a.getPosition(), a.getScale(), a.getRotation()]);
line("actor errors", [err(@() a.setPosition(1, "2", 3)), err(@() a.setPriority()), err(@() a.setDiffuse(0))]);

// Actor: materials by index (the model's colours, power / 100), each actor its own.
line("materials", [a.getDiffuse(0), a.getAmbient(0), a.getEmissive(0), a.getSpecular(0), a.getPower(0),
                   a.getDiffuse(1)]);
line("material set", [a.setDiffuse(0, [0, 255, 0]), a.getDiffuse(0), b.getDiffuse(0),
                      a.setAmbient(0, [128]), a.getAmbient(0), a.setSpecular(1, [1, 2, 3, 4]), a.getSpecular(1),
                      a.setEmissive(0, [263, -1, 2.9]), a.getEmissive(0), a.setPower(0, 2.5), a.getPower(0)]);
line("material bad", [a.setDiffuse(2, [1, 2, 3]), a.setDiffuse(-1, [1, 2, 3]), a.getDiffuse(2), a.getDiffuse(-1),
                      a.setDiffuse(0, [1, 2]), a.setDiffuse(0, [1, 2, "3"]), a.setDiffuse(0, 5), a.getDiffuse(0),
                      a.setPower(9, 1.0), a.getPower(9)]);

// Actor: textures by stage (any image; null removes) and effects by material.
local fog = Graphics.Effect3D.Fog([0, 0, 255], 1.0, 2.0);
local img = Graphics.Canvas(8, 8);
line("textures", [a.setTexture(0, 0, img), a.setTexture(0, 3, null), a.setTexture(0, 4, img),
                  a.setTexture(0, -1, img), a.setTexture(5, 0, img), a.setTexture(0, 0, Graphics.Canvas()),
                  a.setTexture(0, 0, Graphics.getScreenCanvas())]);
line("effects", [a.setEffect(0, fog), a.setEffect(1, null), a.setEffect(2, fog), a.setEffect(-1, null)]);
line("wrong classes", [err(@() a.setTexture(0, 0, fog)), err(@() a.setEffect(0, img))]);

// Released actors answer so; an Actor a script makes itself holds nothing and answers 0.
a.release();
line("release", [a.isReleased(), b.isReleased()]);
local e = Graphics.Actor();
line("empty actor", [e.isReleased(), e.isVisible(), e.setVisible(1), e.setPosition(1, 2, 3), e.setPosition([1, 2, 3]),
                     e.getPosition(), e.getPriority(), e.setPriority(3), e.setDiffuse(0, [1, 2, 3]), e.getDiffuse(0),
                     e.getPower(0), e.setTexture(0, 0, null), e.setEffect(0, null), e.release()]);

// Fog: [r, g, b] or [a, r, g, b] at construction, any colour form later.
local f = Graphics.Effect3D.Fog([10, 20, 30], 40, 100.5);
line("fog", [f.getColor(), f.getNear(), f.getFar(), Graphics.Effect3D.Fog([1, 2, 3, 4], 1, 2).getColor()]);
line("fog set", [f.setColor([128]), f.getColor(), f.setColor([300, 1, 2, 3]), f.getColor(), f.setColor([1, 2]),
                 f.setColor("red"), f.getColor(), f.setNear(5), f.setFar(6.5), f.getNear(), f.getFar()]);
line("fog errors", [err(@() Graphics.Effect3D.Fog([1, 2], 1, 2)), err(@() Graphics.Effect3D.Fog([255], 1, 2))]);
line("fog errors", [err(@() Graphics.Effect3D.Fog([1, "2", 3], 1, 2)), err(@() Graphics.Effect3D.Fog()),
                    err(@() Graphics.Effect3D.Fog([1, 2, 3], 1)), err(@() Graphics.Effect3D.Fog("red", 1, 2)),
                    err(@() f.setNear("near"))]);

// Video: 32 x 16, ten frames at ten frames a second.
line("video errors", [err(@() Graphics.Video("missing.avi")), err(@() Graphics.Video("models/broken.mqo")),
                      err(@() Graphics.Video()), err(@() Graphics.Video(1))]);
local m = Graphics.Video("movie.avi");
line("video", [m.getWidth(), m.getHeight(), m.getLength(), m.isPlaying(), m.isLooped(), m.isPaused(), m.getCursor()]);
line("video volume", [m.setVolume(1.5), m.setVolume(-0.1), m.getVolume(), m.setVolume(0.5), m.getVolume()]);
line("video cursor", [m.setCursor(-1), m.setCursor(1.5), m.setCursor(0.25), m.getCursor()]);
line("video play", [m.play(), m.isPlaying(), m.isLooped(), m.loop(), m.isPlaying(), m.isLooped()]);
line("video pause", [m.pause(), m.isPaused(), m.isPlaying(), m.restart(), m.isPlaying(), m.isPaused()]);
line("video stop", [m.stop(), m.isPlaying(), m.isLooped(), m.isPaused(), m.getCursor()]);
line("video errors", [err(@() m.setVolume("loud")), err(@() m.play(1))]);
