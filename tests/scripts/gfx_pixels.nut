// Pixels of the drawing calls whose geometry is fixed: shapes on pixel centres, the circle's
// 24 segments, the rectangle strip, the nine panel cells, rotated and transformed images,
// per-vertex colours (0xRRGGBBAA), the four blend modes, the 2D effects and scaled saving.
// Each canvas is read back through Graphics.saveImage as a 32-bit BMP and printed as text.

// The pixels of a saved BMP as 0xAARRGGBB integers: { w, h, at(x, y) }.
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

// One line per row: each pixel as the legend's letter for its colour, '?' for others.
function art(title, canvas, legend) {
    local p = pixels(canvas);
    print(title + " " + p.w + "x" + p.h + "\n");
    for (local y = 0; y < p.h; y++) {
        local row = "";
        for (local x = 0; x < p.w; x++) {
            local c = p.at(x, y);
            row += (c in legend) ? legend[c] : "?";
        }
        print("  " + row + "\n");
    }
}

function hex(c) { return format("%08X", c); }

function show(v) {
    if (v == null) return "null";
    if (typeof v != "array") return v.tostring();
    local s = "[";
    foreach (i, x in v) s += (i ? ", " : "") + show(x);
    return s + "]";
}

const BLACK = 0xFF000000;
const WHITE = 0xFFFFFFFF;
local legend = { [BLACK] = ".", [WHITE] = "#", [0xFFFF0000] = "R", [0xFF00FF00] = "G", [0xFF0000FF] = "B" };

local c = Graphics.Canvas(14, 12);

// A triangle through pixel centres keeps the pixels on its left and top edges: 55 of them.
c.clear([0, 0, 0]);
c.begin();
print("shape: " + c.drawShape([[0, 0], [11, 0], [0, 11]]) + "\n");
c.end();
art("triangle (0,0) (11,0) (0,11)", c, legend);

// Outline: the strip (x1,y1) (x2,y1) (x2,y2) (x1,y2) (x1,y1); filled: x1..x2-1, y1..y2-1.
c.clear([0, 0, 0]);
c.begin();
c.drawRectangle([1, 1, 7, 5], 1, [255, 0, 0]);
c.drawRectangle([8, 6, 13, 11, 99], 2, [0, 255, 0]);
c.end();
art("rectangles", c, legend);

// 24 segments around (6, 6) with radius 5, outline and filled.
local cc = Graphics.Canvas(13, 13);
cc.clear([0, 0, 0]);
cc.begin();
cc.drawCircle([6, 6, 5], Graphics.Paint.LINE);
cc.end();
art("circle outline", cc, legend);
cc.clear([0, 0, 0]);
cc.begin();
cc.drawCircle([6, 6, 5], Graphics.Paint.FILL, [0, 0, 255]);
cc.end();
art("circle filled", cc, legend);

// Nine cells of a 12x12 source (4x4 each, letters a..i) on a 20x14 panel: corners keep their
// size, edges stretch one way, the centre both. Blended texels at stretched cell borders
// show as '?'.
local src = Graphics.Canvas(12, 12);
local cells = [[255, 0, 0], [0, 255, 0], [0, 0, 255], [255, 255, 0], [0, 255, 255], [255, 0, 255],
               [255, 255, 255], [128, 0, 0], [0, 128, 0]];
local cellLegend = { [BLACK] = "." };
src.begin();
for (local k = 0; k < 9; k++) {
    local x = (k % 3) * 4, y = (k / 3) * 4, col = cells[k];
    src.drawRectangle([x, y, x + 4, y + 4], 2, col);
    cellLegend[0xFF000000 | (col[0] << 16) | (col[1] << 8) | col[2]] <- "abcdefghi"[k].tochar();
}
src.end();
local panel = Graphics.Canvas(22, 16);
panel.clear([0, 0, 0]);
panel.begin();
print("panel: " + panel.drawPanel(src, [1, 1, 21, 15]) + "\n");
panel.end();
art("panel 20x14", panel, cellLegend);
panel.clear([0, 0, 0]);
panel.begin();
panel.drawPanel(src, [1, 1, 6, 4]);             // narrower than two corners: halves of them
panel.drawPanel(src, [8, 1, 20, 13], [0, 0, 6, 6]); // a source rectangle: cells of 2x2
panel.end();
art("panel 5x3 and source [0,0,6,6]", panel, cellLegend);

// An image at its own size, stretched, and turned a quarter about its top-left corner.
local img = Graphics.Canvas(3, 2);
img.clear([255, 0, 0]);
img.begin();
img.drawRectangle([0, 0, 1, 2], 2, [0, 255, 0]);
img.end();
c.clear([0, 0, 0]);
c.begin();
c.drawImage(img, [1, 1]);
c.drawImage(img, [6, 1, 12, 3]);
c.drawImage(img, [4, 6], null, [PI / 2]);
c.drawImage(img, [10, 6], [1, 0, 3, 2], [PI, 1, 1]);
c.end();
art("images: own size, stretched, quarter turn, half turn of a source", c, legend);

// Transformed draws return the bounding box of the transformed points, truncated.
local t = Graphics.Transform2D();
t.translate(2.7, 3.2);
c.clear([0, 0, 0]);
c.begin();
print("shapeT: " + show(c.drawShapeT([[0, 0], [4, 0], [4, 3], [0, 3]], t, [255, 255, 255], 1)) + "\n");
t.reset();
t.rotate(PI / 2);
t.translate(12, 0);
print("linesT: " + show(c.drawLinesT([[0, 0], [5, 0], [5, 2]], t, null, null)) + "\n");
local s = Graphics.Transform2D();
s.scale(2, 2);
s.translate(0, 8);
print("imageT: " + show(c.drawImageT(img, [0, 0, 3, 2], s, null, null, null, null)) + "\n");
print("panelT: " + show(c.drawPanelT(src, [0, 0, 12, 12], s, null, null, 4, null)) + "\n");
print("imageT bad rect: " + show(c.drawImageT(img, [0, 0], s, null, null, null, null)) + "\n");
c.end();
art("transformed", c, legend);

// Per-vertex colours are 0xRRGGBBAA; the call's colour multiplies them.
local p1 = Graphics.Canvas(4, 1);
p1.clear([0, 0, 0, 0]);
p1.begin();
p1.drawShape([[0, -1, 0x00FF00FF], [1, -1, 0x00FF00FF], [1, 2, 0x00FF00FF], [0, 2, 0x00FF00FF]], null, 0);
p1.drawShape([[1, -1, 0x0000FF80], [2, -1, 0x0000FF80], [2, 2, 0x0000FF80], [1, 2, 0x0000FF80]], null, 0);
p1.drawShape([[2, -1, 0xFFFFFFFF], [3, -1, 0xFFFFFFFF], [3, 2, 0xFFFFFFFF], [2, 2, 0xFFFFFFFF]], [128, 255, 0, 0], 0);
p1.drawLines([[3, 0, 0x11223344], [4, 0]], null, 0);
p1.end();
local pp = pixels(p1);
print("vertex colours: " + hex(pp.at(0, 0)) + " " + hex(pp.at(1, 0)) + " " + hex(pp.at(2, 0)) + " " + hex(pp.at(3, 0)) + "\n");

// The four blend modes: a half-transparent white square over 0xFF646464.
local bl = Graphics.Canvas(1, 1);
local out = "";
foreach (mode in [0, 1, 2, 3]) {
    bl.clear([255, 100, 100, 100]);
    bl.begin();
    bl.drawRectangle([0, 0, 1, 1], 2, [128, 255, 255, 255], mode);
    bl.end();
    out += " " + mode + ":" + hex(pixels(bl).at(0, 0));
}
print("blend" + out + "\n");

// Gray and Nega on an image; Alphamask fading an image with a mask's red channel.
local colour = Graphics.Canvas(2, 1);
colour.clear([255, 200, 100, 50]);
local mask = Graphics.Canvas(2, 1);
mask.clear([0, 0, 0]);
mask.begin();
mask.drawRectangle([1, 0, 2, 1], 2, [255, 255, 255]);
mask.end();
local fx = Graphics.Canvas(2, 3);
fx.clear([0, 0, 0, 0]);
fx.begin();
fx.drawImage(colour, [0, 0], null, null, null, 0, Graphics.Effect2D.Gray());
fx.drawImage(colour, [0, 1], null, null, null, 0, Graphics.Effect2D.Nega());
fx.drawImage(colour, [0, 2], null, null, null, 0, Graphics.Effect2D.Alphamask(mask));
fx.end();
local fp = pixels(fx);
print("gray " + hex(fp.at(0, 0)) + " nega " + hex(fp.at(0, 1)) + " alphamask " + hex(fp.at(0, 2)) + " " + hex(fp.at(1, 2)) + "\n");

// saveImage scales to the size given, from the whole image or a source rectangle.
Graphics.saveImage("scaled.bmp", img, 6, 4);
local sc = readBmp("scaled.bmp");
print("scaled " + sc.w + "x" + sc.h + " " + hex(sc.at(0, 0)) + " " + hex(sc.at(1, 3)) + " " + hex(sc.at(5, 3)) + "\n");
Graphics.saveImage("part.bmp", img, 4, 4, [1, 0, 3, 2]);
local pt = readBmp("part.bmp");
print("part " + pt.w + "x" + pt.h + " " + hex(pt.at(0, 0)) + " " + hex(pt.at(3, 3)) + "\n");
