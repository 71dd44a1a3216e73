// Every class of the Graphics table's 2D part: results of each method for valid and
// invalid arguments, the shared table of images, screen modes and the screen canvas.
function show(v) {
    if (v == null) return "null";
    if (typeof v == "array") {
        local s = "[";
        foreach (i, x in v) s += (i ? ", " : "") + show(x);
        return s + "]";
    }
    if (typeof v == "string") return "\"" + v + "\"";
    if (typeof v == "float") return format("%.3f", v);
    return v.tostring();
}
function p(name, v) { print(name + ": " + show(v) + "\n"); }
function err(f) {
    try { f(); } catch (e) { return e; }
    return "no error";
}

// ---- screen
local sc = Graphics.getScreenCanvas();
p("screen", [sc.getWidth(), sc.getHeight(), Graphics.getScreenWidth(), Graphics.getScreenHeight()]);
p("display answers", [Graphics.getDisplayWidth() > 0, Graphics.getDisplayHeight() > 0]);
p("mode", Graphics.getScreenMode());
p("change to full", [Graphics.changeScreenMode(), Graphics.getScreenMode()]);
p("set 2 again", Graphics.setScreenMode(2));
p("change back", [Graphics.changeScreenMode(), Graphics.getScreenMode()]);
p("set 1.9", [Graphics.setScreenMode(1.9), Graphics.getScreenMode()]);
p("set bad", [Graphics.setScreenMode(0), Graphics.setScreenMode(3), Graphics.setScreenMode(-1)]);
p("set string", err(function() { Graphics.setScreenMode("2"); }));
p("clearScreen", [Graphics.clearScreen(), Graphics.clearScreen([1, 2, 3]), Graphics.clearScreen([1, 2]), Graphics.clearScreen(null)]);
p("raw canvas is a Canvas", Graphics.getScreenCanvas_() instanceof Graphics.Canvas);

// ---- Canvas
local c = Graphics.Canvas(20, 10);
p("canvas", [c.getWidth(), c.getHeight(), c.isReady()]);
p("canvas errors", [err(function() { Graphics.Canvas(1, 2, 3); }), err(function() { Graphics.Canvas(-1, 5); }),
                    err(function() { Graphics.Canvas(70000, 5); }), err(function() { Graphics.Canvas(null, 5); })]);
p("clear", [c.clear(), c.clear([255, 0, 0]), c.clear([1, 2]), c.clear("x"), c.clear(null)]);
p("begin", [c.begin(), c.isReady(), c.begin(), c.clear([0, 0, 0])]);
// The empty-mask canvas holds nothing: every method answers 0 and drawing it draws nothing.
local e = Graphics.Canvas();
p("empty canvas", [e.getWidth(), e.getHeight(), e.isReady(), e.begin(), e.end(), e.clear(), e.clear([1, 2, 3]),
                   e.drawImage(c, [0, 0]), e.drawLines([[0, 0], [1, 1]]), e.drawShape([[0, 0], [1, 0], [0, 1]]),
                   e.drawCircle([1, 1, 1], 1), e.drawRectangle([0, 0, 1, 1], 2), c.drawImage(e, [0, 0]),
                   e.drawImageT(c, [0, 0, 1, 1], Graphics.Transform2D(), null, null, null, null)]);
p("saveImage of nothing", Graphics.saveImage("e.png", e));

local img = Graphics.Canvas(4, 4);
local font = Graphics.Font("sans-serif", 10);
local t = Graphics.Transform2D();
p("drawImage forms", [c.drawImage(img, [1, 2]), c.drawImage(img, [1, 2, 3, 4]), c.drawImage(img, [1.9, 2.5]),
                      c.drawImage(img, [1, "2"]), c.drawImage(img, []), c.drawImage(img, [1, 2], [0, 0, 2, 2, 9]),
                      c.drawImage(img, [1, 2], null, [0.5, 1, 2, 3]), c.drawImage(img, [1, 2], null, ["a"]),
                      c.drawImage(img, [0, 0], null, null, null, null, font),
                      c.drawImage(img, [0, 0], null, null, null, true)]);
p("drawImage not an image", err(function() { c.drawImage(font, [0, 0]); }));
p("drawImageEx", [c.drawImageEx(img, [[0, 0, 0, 0], [4, 0, 1, 0], [4, 4, 1, 1, 0xFF0000FF]]),
                  c.drawImageEx(img, [[0, 0, 0, 0], [4, 0, 1, 0], [4, 4, 1]]),
                  c.drawImageEx(img, [[0, 0, 0, 0], [4, 0, 1, 0], [4, 4, 1, 1]], [0, 0, 2, 2], [255, 0, 0], 2, Graphics.Effect2D.Gray()),
                  c.drawImageEx(img, "x")]);
p("drawPanel", [c.drawPanel(img, [0, 0, 10, 10], [0, 0, 3, 3], [0.1], [128], 3),
                c.drawPanel(img, [0, 0, 10, 10, 1]), c.drawPanel(img, [0, 0, 10, 10], null, null, null, null, 5)]);
p("drawText", [c.drawText(font, "Ab\ncd", [0, 0]), c.drawText(font, 12345, [0, 0, 40, 10], [255, 0, 0], [0, 0, 255], 2),
               c.drawText(font, "x", [0]), c.drawText(font, "x", [0, 0], null, [1, 2]),
               c.drawText(font, "", [0, 0])]);
p("drawText errors", [err(function() { c.drawText(font, "x"); }), err(function() { c.drawText(img, "x", [0, 0]); })]);
p("lines and shapes", [c.drawLines([[0, 0], [5, 5], [9, 0]], [0, 255, 0], 0), c.drawLines([]), c.drawLines(5),
                       c.drawLines([[0, 0], [1, 1, 2, 3]]), c.drawShape([[0, 0], [5, 0], [0, 5, 0xFF]], null, 2),
                       c.drawShape([[0, 0], [5, 0], [0, 5]], null, 3.0)]);
p("circle and rectangle", [c.drawCircle([5, 5, 3, 7], 2), c.drawCircle([5, 5, 3], 0), c.drawCircle([5, 5, 3], 3),
                           c.drawCircle([5, "5", 3], 1), c.drawRectangle([0, 0, 5, 5], 1, [1, 2, 3, 4, 5]),
                           c.drawRectangle([0, 0, 5, 5], 2, null, 0)]);
p("paint not a number", err(function() { c.drawCircle([5, 5, 3], null); }));
p("T forms", [c.drawImageT(img, [0, 0, 4, 4], t, null, null, null, null), c.drawPanelT(img, [1, 1, 9, 9], t, [0, 0, 4, 4], [255], 1, null),
              c.drawLinesT([[0, 0], [3, 4]], t, null, null), c.drawShapeT([[0, 0], [3, 0], [0, 3]], t, [1, 2], null),
              c.drawLinesT([[0, 0]], t, null, null)]);
p("T short", err(function() { c.drawImageT(img, [0, 0, 4, 4], t); }));
p("drawWorld without 3D", err(function() { c.drawWorld(null, null); }));
p("end", [c.end(), c.end(), c.isReady(), c.drawImage(img, [0, 0])]);

// ---- Image: one engine image per path unless the flag asks for a fresh load
local red = Graphics.Canvas(3, 2);
red.clear([255, 0, 0]);
local green = Graphics.Canvas(5, 1);
green.clear([0, 255, 0]);
p("save", [Graphics.saveImage("a.png", red), Graphics.saveImage("b.bmp", red, 6, 4), Graphics.saveImage("c.png", red, 2, 2, [0, 0, 1, 1]),
           Graphics.saveImage("d.gif", red), Graphics.saveImage("e.png", red, 0, 4), Graphics.saveImage("f.png", red, 2, 2, [0, 0, 1])]);
local a1 = Graphics.Image("a.png");
p("image", [a1.getWidth(), a1.getHeight(), Graphics.Image("b.bmp").getWidth(), Graphics.Image("c.png").getHeight()]);
Graphics.saveImage("a.png", green);
p("same path shares the loaded image", [Graphics.Image("a.png").getWidth(), Graphics.Image("a.png", false).getWidth()]);
p("flag true loads anew", [Graphics.Image("a.png", true).getWidth(), Graphics.Image("a.png").getWidth()]);
p("image errors", [err(function() { Graphics.Image("missing.png"); }), err(function() { Graphics.Image("a.png", 1); }),
                   err(function() { Graphics.Image(); }), err(function() { Graphics.Image(5); })]);

// ---- Font and FontG
local f2 = Graphics.Font("sans-serif", 16, true, false);
p("font", [font.getName(), font.getSize(), font.isBold(), font.isItalic(), f2.isBold(), f2.isItalic()]);
p("font measure", [font.getHeight("a"), font.getHeight("a\nb"), font.getWidth("ab") == font.getWidth("a") + font.getWidth("b"),
                   font.getWidth("ab\nc") == font.getWidth("ab"), font.getWidth("\t\r"), font.getWidth("")]);
p("font errors", [err(function() { Graphics.Font("x", 0); }), err(function() { Graphics.Font("x"); }),
                  err(function() { Graphics.Font("x", 10, 1, 0); }), err(function() { Graphics.Font("x", 70000); })]);
local g = [Graphics.FontG("sans-serif", 12), Graphics.FontG("sans-serif", 12, false, true),
           Graphics.FontG("sans-serif", 12, 200, 10), Graphics.FontG("sans-serif", 12, 200, 10, 0.5),
           Graphics.FontG("sans-serif", 12, true, false, 255, 0), Graphics.FontG("sans-serif", 12, false, false, 255, 0, 0.25)];
local gs = [];
foreach (x in g) gs.push([x.getSize(), x.isBold(), x.isItalic()]);
p("fontG", gs);
p("fontG errors", [err(function() { Graphics.FontG("x", 12, 1, 2, 3, 4); }), err(function() { Graphics.FontG("x", 12, 1); })]);
c.begin();
p("fontG draws", c.drawText(g[3], "Hi", [0, 0], [255, 255, 0], [255, 0, 0]));
c.end();

// ---- Transform2D: every operation answers 1
local t2 = Graphics.Transform2D();
p("transform", [t2.translate(1, 2), t2.scale(2, 3), t2.rotate(0.5), t2.transform(t), t2.set(t), t2.reset()]);
p("transform errors", [err(function() { t2.translate(1); }), err(function() { t2.set(img); }), err(function() { t2.rotate("a"); })]);

// ---- Effect2D
local am = Graphics.Effect2D.Alphamask(img);
local am2 = Graphics.Effect2D.Alphamask(img, 0.25);
p("alphamask", [am.getBlendRate(), am2.getBlendRate(), am2.setBlendRate(2), am2.getBlendRate()]);
p("alphamask errors", [err(function() { Graphics.Effect2D.Alphamask(); }), err(function() { Graphics.Effect2D.Alphamask(5); }),
                       err(function() { Graphics.Effect2D.Alphamask(t2); }), err(function() { Graphics.Effect2D.Alphamask(e); })]);
p("gray and nega take anything", [Graphics.Effect2D.Gray(1, 2) instanceof Graphics.Effect2D.Gray, Graphics.Effect2D.Nega() != null]);

// ---- registerFont
p("registerFont", [Graphics.registerFont("missing.ttf"), Graphics.registerFont("a.png")]);
foreach (name in ["a.png", "b.bmp", "c.png"]) remove(name);
