// The bunny-mark: as many bouncing sprites as the machine can draw at 60 frames a second.
//
//   Up, Space or the left mouse button   add 100 bunnies a frame while held
//   Down or the right mouse button       remove 100 bunnies a frame while held
//   Esc                                  quit
//
// Every bunny is the same small picture, drawn once at start onto a canvas of its own and
// then drawn with drawImage like any image, so the whole crowd goes out in a few batches.
// The count and the measured frame rate are shown at the top left.

const W = 800;
const H = 600;
const GRAVITY = 0.5;
const BATCH = 100;
const FLOOR = 568;  // the top of the grass strip that holds the help line

local screen = Graphics.getScreenCanvas();

// ---------------------------------------------------------------- the sprite
// A rabbit sitting up, 26 x 37 pixels, in soft pastel. One canvas per coat colour.
function makeBunny(coat, shade) {
    local c = Graphics.Canvas(26, 37);
    c.clear([0, 0, 0, 0]);
    c.begin();
    // Ears, with a pink inside.
    c.drawShape([[6, 17], [4, 3], [7, 0], [11, 15]], coat);
    c.drawShape([[15, 15], [19, 0], [22, 3], [20, 17]], coat);
    c.drawShape([[7, 14], [6, 4], [8, 3], [10, 14]], [255, 240, 160, 180]);
    c.drawShape([[16, 14], [18, 3], [20, 4], [19, 14]], [255, 240, 160, 180]);
    // Body, head and cheeks.
    c.drawCircle([13, 27, 8], Graphics.Paint.FILL, coat);
    c.drawCircle([13, 19, 8], Graphics.Paint.FILL, coat);
    c.drawCircle([13, 29, 5], Graphics.Paint.FILL, shade);
    // Eyes and nose.
    c.drawRectangle([9, 17, 11, 20], Graphics.Paint.FILL, [40, 30, 50]);
    c.drawRectangle([15, 17, 17, 20], Graphics.Paint.FILL, [40, 30, 50]);
    c.drawRectangle([12, 21, 14, 23], Graphics.Paint.FILL, [230, 110, 140]);
    // Feet.
    c.drawCircle([8, 34, 3], Graphics.Paint.FILL, shade);
    c.drawCircle([18, 34, 3], Graphics.Paint.FILL, shade);
    c.end();
    return c;
}

local coats = [
    makeBunny([255, 255, 255], [225, 225, 235]),
    makeBunny([250, 220, 180], [225, 190, 150]),
    makeBunny([200, 200, 215], [170, 170, 190]),
    makeBunny([255, 230, 240], [235, 200, 215]),
];

// ---------------------------------------------------------------- the crowd
// Each bunny is [x, y, vx, vy, picture]. A fixed seed: every run starts with the same crowd.
local random = Math.Random(2024);
local bunnies = [];

function addBunnies(n, x, y) {
    local picture = coats[bunnies.len() / BATCH % coats.len()];
    for (local i = 0; i < n; i++)
        bunnies.push([x, y, random.nextFloat(-5.0, 5.0), random.nextFloat(-5.0, 5.0), picture]);
}

function removeBunnies(n) {
    local keep = bunnies.len() > n ? bunnies.len() - n : 0;
    bunnies.resize(keep);
}

// Falls, bounces off the floor with a random kick, turns at the walls.
function moveBunnies() {
    foreach (b in bunnies) {
        local x = b[0] + b[2];
        local y = b[1] + b[3];
        local vy = b[3] + GRAVITY;
        if (x < 0) { x = 0; b[2] = -b[2]; }
        else if (x > W - 26) { x = W - 26; b[2] = -b[2]; }
        if (y > FLOOR - 37) {
            y = FLOOR - 37;
            vy = -vy * 0.85;
            if (random.nextInt(1)) vy -= random.nextFloat(6.0);
        } else if (y < 0) {
            y = 0;
            vy = 0.0;
        }
        b[0] = x;
        b[1] = y;
        b[3] = vy;
    }
}

// The first thousand start scattered over the upper half of the screen.
for (local i = 0; i < 10; i++) {
    for (local j = 0; j < BATCH; j++) addBunnies(1, random.nextInt(W - 26), random.nextInt(H / 2));
}

// ---------------------------------------------------------------- input
const ADD = 0;
const REMOVE = 1;
const QUIT = 2;
local pad = Input.Controller();
pad.setButton(ADD, ["key.up", "key.space", "mouse.left", "joy0.btn1"]);
pad.setButton(REMOVE, ["key.down", "mouse.right", "joy0.btn2"]);
pad.setButton(QUIT, ["key.escape"]);

// ---------------------------------------------------------------- the frame rate
// Frames counted over half a second of the game's clock.
local fpsTimer = Util.Timer();
local framesCounted = 0;
local fps = 0.0;

local font = Graphics.Font("sans-serif", 18, true, false);
local small = Graphics.Font("sans-serif", 14);
local panel = Graphics.Canvas(4, 4);
panel.clear([200, 20, 20, 40]);

for (;;) {
    pad.update();
    if (pad.isPushed(QUIT)) break;
    if (pad.isPressed(ADD)) addBunnies(BATCH, 0, 0);
    if (pad.isPressed(REMOVE)) removeBunnies(BATCH);

    moveBunnies();

    framesCounted++;
    if (fpsTimer.get() >= 500) {
        fps = framesCounted * 1000.0 / fpsTimer.get();
        framesCounted = 0;
        fpsTimer.reset();
    }

    screen.begin();
    screen.drawShape([[0, 0, 0x2E6FA8FF], [W, 0, 0x2E6FA8FF], [W, H, 0x9ED3E8FF], [0, H, 0x9ED3E8FF]], null,
                     Graphics.Blend.NONE);
    screen.drawRectangle([0, FLOOR, W, H], Graphics.Paint.FILL, [70, 140, 70]);
    screen.drawRectangle([0, FLOOR, W, FLOOR + 4], Graphics.Paint.FILL, [110, 190, 90]);
    foreach (b in bunnies) screen.drawImage(b[4], [b[0], b[1]]);

    screen.drawImage(panel, [8, 8, 190, 62]);
    screen.drawText(font, "Bunnies: " + bunnies.len(), [18, 12], [255, 255, 255]);
    screen.drawText(font, format("FPS: %.1f", fps), [18, 36], [255, 255, 220, 120]);
    local help = "Up / Space / click: add 100     Down / right click: remove 100     Esc: quit";
    screen.drawText(small, help, [(W - small.getWidth(help)) / 2, FLOOR + 9], [255, 240, 255, 230]);
    screen.end();
    Util.fwait(60);
}
