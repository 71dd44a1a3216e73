// Worlds drawn through Canvas.drawWorld and movies drawn like images, read back through
// Graphics.saveImage as 32-bit BMPs and printed as text: one letter per pixel (R red, G green,
// B blue, W white, . black, ? anything else).

function readBmp(path) {
    local f = file(path, "rb");
    local b = f.readblob(f.len());
    f.close();
    b.seek(10);
    local off = b.readn('i');
    b.seek(18);
    local w = b.readn('i'), h = b.readn('i');
    local topDown = h < 0;
    if (topDown) h = -h;
    return { w = w, h = h, at = function(x, y) {
        b.seek(off + ((topDown ? y : h - 1 - y) * w + x) * 4);
        return b.readn('i');
    } };
}
function pixels(canvas) {
    if (Graphics.saveImage("pixels.bmp", canvas) != 1) throw "saveImage failed";
    return readBmp("pixels.bmp");
}
function letter(c) {
    local r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    if (r < 40 && g < 40 && b < 40) return ".";
    if (r > 150 && g > 150 && b > 150) return "W";
    if (r > 150 && g < 60 && b < 60) return "R";
    if (g > 150 && r < 60 && b < 60) return "G";
    if (b > 150 && r < 60 && g < 60) return "B";
    return "?";
}
// The rows down to the last one that is not all black, and how many pixels are not black.
function art(title, canvas) {
    local p = pixels(canvas), rows = [], count = 0, last = -1;
    for (local y = 0; y < p.h; y++) {
        local row = "";
        for (local x = 0; x < p.w; x++) {
            local l = letter(p.at(x, y));
            row += l;
            if (l != ".") { count++; last = y; }
        }
        rows.append(row);
    }
    print(title + ": " + count + " pixels\n");
    for (local y = 0; y <= last; y++) print("  " + rows[y] + "\n");
}

// A 16 x 16 canvas seen by a camera at the origin with a field of view of pi / 2: a point
// (x, y, 8) lands on pixel (8 + x, 8 - y). The model's triangle has its corners on pixels
// (0, 0), (10, 0) and (0, 10): pixel (i, j) is sampled at the point (i, j), so its top and
// left edges are in and its long edge is out.
local canvas = Graphics.Canvas(16, 16);
local camera = Graphics.Camera();
camera.setFov(PI / 2);
camera.setAspect(1, 1);
local world = Graphics.World();
local actor = world.createActor("models/triangle.mqo");
function draw() {
    canvas.clear([0, 0, 0]);
    canvas.begin();
    local r = canvas.drawWorld(camera, world);
    canvas.end();
    return r;
}
print("drawWorld: " + draw() + "\n");
art("triangle", canvas);
print("lit red: " + format("%08X", pixels(canvas).at(1, 1)) + "\n");

actor.setPosition(3, -2, 0);
actor.setScale(0.5, 0.5, 1);   // scaled about the model's origin, then moved
draw();
art("scaled by 0.5 and moved by (3, 2) pixels", canvas);
actor.setScale([1, 1, 1]);
actor.setPosition([0, 0, 0]);

actor.setEffect(0, Graphics.Effect3D.Fog([0, 255, 0], 1, 2));   // the triangle lies beyond the fog
draw();
art("fog", canvas);
actor.setEffect(0, null);
actor.setDiffuse(0, [0, 0, 255]);
draw();
art("blue without fog", canvas);

actor.setVisible(2);
draw();
art("hidden", canvas);
actor.setVisible(1);
camera.setLook(0, 0, -1);
draw();
art("behind the camera", canvas);
camera.setLook(0, 0, 1);
actor.release();
draw();
art("released", canvas);

// A movie of red over blue is drawn like an image, at its own size, upright.
local movie = Graphics.Video("movie.avi");
local screen = Graphics.Canvas(40, 20);
function drawMovie() {
    screen.clear([0, 0, 0]);
    screen.begin();
    local r = screen.drawImage(movie, [4, 2]);
    screen.end();
    return r;
}
print("drawImage before the first frame: " + drawMovie() + "\n");
art("opaque black until the first frame", screen);
movie.play();
// Frames arrive in real time on the decoder's thread; each frame here waits 2 ms.
local shown = false;
for (local i = 0; i < 500 && !shown; i++) {
    local t = clock();
    while (clock() - t < 0.002) {}
    Util.fwait(60);
    drawMovie();
    shown = letter(pixels(screen).at(4, 2)) == "R";
}
art("movie frame", screen);

// The movie textures a model: the triangle's texture coordinates are all (0.5, 0.25), in the
// red top half of the frame.
local textured = world.createActor("models/triangle.mqo");
textured.setDiffuse(0, [255, 255, 255]);
print("setTexture: " + textured.setTexture(0, 0, movie) + "\n");
draw();
print("textured: " + letter(pixels(canvas).at(1, 1)) + letter(pixels(canvas).at(9, 0)) + "\n");
print("setTexture null: " + textured.setTexture(0, 0, null) + "\n");
draw();
print("untextured: " + letter(pixels(canvas).at(1, 1)) + "\n");
