// The title screen of the example game: a starry sky, an emblem drawn by the game itself at
// start, the title in a gradation font, a Japanese greeting in the default Japanese face and
// a blinking prompt. Esc ends the game (closing the window does too).
// This file is Shift-JIS, as game scripts are.
println("Hello from " + cmdline[0]);
println("Quillorane " + QUILLORANE_VERSION + ", Squirrel " + SQUIRREL_VERSION + (DEBUG ? ", debug on" : ""));

const W = 640;
const H = 480;
local screen = Graphics.getScreenCanvas();

// A number sequence of our own (no clock, no seed): every run draws the same sky.
local seed = 12345;
function next(n) {
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF;
    return (seed >> 8) % n;
}
local stars = [];
for (local i = 0; i < 90; i++) stars.push([next(W), next(H * 3 / 4), next(3) + 1, next(64)]);

// The emblem: rings, a quill and its ink drop, drawn once onto a canvas of its own, which is
// then drawn like any image.
local emblem = Graphics.Canvas(160, 160);
emblem.clear([0, 0, 0, 0]);
emblem.begin();
emblem.drawCircle([80, 80, 76], Graphics.Paint.FILL, [255, 214, 170, 60]);
emblem.drawCircle([80, 80, 68], Graphics.Paint.FILL, [255, 24, 34, 84]);
emblem.drawCircle([80, 80, 72], Graphics.Paint.LINE, [255, 255, 236, 180]);
emblem.drawCircle([80, 80, 60], Graphics.Paint.LINE, [160, 255, 236, 180]);
// The feather: a fan of vertices from the tip, white fading to sky blue (0xRRGGBBAA each).
emblem.drawShape([[112, 30, 0xFFFFFFFF], [124, 26, 0xFFFFFFFF], [116, 52, 0xB8E0FFFF], [96, 86, 0x78B0F0FF],
                  [62, 118, 0x4A80D0FF], [56, 116, 0x4A80D0FF], [72, 88, 0x78B0F0FF], [94, 52, 0xB8E0FFFF]]);
emblem.drawLines([[118, 30], [60, 118]], [255, 30, 50, 110]);
emblem.drawLines([[60, 118], [50, 132]], [255, 230, 190, 80]);
emblem.drawCircle([48, 134, 4], Graphics.Paint.FILL, [255, 230, 190, 80]);
emblem.end();

// The frame of the prompt box, cut into nine cells by drawPanel: a 12 x 12 image with a
// 4-pixel border.
local frameImage = Graphics.Canvas(12, 12);
frameImage.clear([200, 255, 236, 180]);
frameImage.begin();
frameImage.drawRectangle([2, 2, 10, 10], Graphics.Paint.FILL, [220, 20, 28, 70]);
frameImage.end();

local title = Graphics.FontG("‚l‚r ƒSƒVƒbƒN", 56, true, false, 255, 0, 0.45);
local japanese = Graphics.Font("‚l‚r ƒSƒVƒbƒN", 28);
local small = Graphics.Font("‚l‚r ƒSƒVƒbƒN", 18);
local titleText = "Quillorane";
local greeting = "ƒNƒCƒƒŒ[ƒ“‚Ö ‚æ‚¤‚±‚»I";
local prompt = "Esc ƒL[‚ÅI—¹‚µ‚Ü‚·";

local keys = Input.Controller();
keys.setButton(0, ["key.escape"]);

for (local frame = 0; ; frame++) {
    keys.update();
    if (keys.isPushed(0)) break;

    screen.begin();
    // The sky: one shape whose corners carry their own colours.
    screen.drawShape([[0, 0, 0x0A1030FF], [W, 0, 0x0A1030FF], [W, H, 0x4A2860FF], [0, H, 0x4A2860FF]], null,
                     Graphics.Blend.NONE);
    foreach (s in stars) {
        local a = 120 + ((frame * 3 + s[3] * 4) % 128);
        screen.drawRectangle([s[0], s[1], s[0] + s[2], s[1] + s[2]], Graphics.Paint.FILL, [a, 255, 255, 230]);
    }
    // The emblem turns slowly about its centre.
    screen.drawImage(emblem, [240, 40], null, [frame * 0.01, 80, 80]);

    local tw = title.getWidth(titleText);
    screen.drawText(title, titleText, [(W - tw) / 2 + 3, 213], [160, 0, 0, 0], [0, 0, 0, 0]);
    screen.drawText(title, titleText, [(W - tw) / 2, 210], [255, 255, 255], [255, 240, 190, 90]);
    local gw = japanese.getWidth(greeting);
    screen.drawText(japanese, greeting, [(W - gw) / 2, 290], [255, 200, 230, 255]);

    screen.drawPanel(frameImage, [170, 360, 470, 420]);
    local pw = small.getWidth(prompt);
    local alpha = (frame / 30) % 2 == 0 ? 255 : 110;
    screen.drawText(small, prompt, [(W - pw) / 2, 381], [alpha, 255, 255, 255]);
    screen.end();
    Util.fwait(60);
}
println("Goodbye.");
