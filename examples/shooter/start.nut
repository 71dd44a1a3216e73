// Star Quill: a small shoot-'em-up.
//
//   Arrow keys (or a joystick)     fly
//   Z, Space (or joystick button 1) fire
//   Esc                            pause; Q quits while paused
//   Enter                          play again after the game is over
//
// What it shows: pictures drawn by the game at start onto canvases, a controller configured
// from one table with Input.Controller, collision shapes (a circle for the ship, rectangles
// for the enemies, lines for the player's shots so that fast shots cannot pass through an
// enemy between two frames, circles for enemy shots), sound effects, and the best score kept
// in best.nut with IO and Util.serialize.

const W = 640;
const H = 480;
local screen = Graphics.getScreenCanvas();
local random = Math.Random(7);

// ---------------------------------------------------------------- pictures
function picture(w, h, draw) {
    local c = Graphics.Canvas(w, h);
    c.clear([0, 0, 0, 0]);
    c.begin();
    draw(c);
    c.end();
    return c;
}

// The player's ship, 32 x 32: a white dart with blue wings and a warm engine glow.
local shipPicture = picture(32, 32, function(c) {
    c.drawShape([[16, 26], [2, 30], [6, 18], [16, 12]], [70, 130, 230]);
    c.drawShape([[16, 26], [16, 12], [26, 18], [30, 30]], [70, 130, 230]);
    c.drawShape([[16, 1], [21, 20], [16, 28], [11, 20]], [240, 245, 255]);
    c.drawShape([[16, 8], [18, 16], [16, 19], [14, 16]], [90, 200, 255]);
    c.drawCircle([16, 29, 3], Graphics.Paint.FILL, [255, 190, 60]);
});
// The drone, 28 x 22: a purple saucer with a glowing eye.
local dronePicture = picture(28, 22, function(c) {
    c.drawCircle([14, 11, 10], Graphics.Paint.FILL, [130, 60, 170]);
    c.drawShape([[0, 12], [28, 12], [22, 18], [6, 18]], [90, 40, 130]);
    c.drawCircle([14, 9, 4], Graphics.Paint.FILL, [255, 240, 110]);
    c.drawCircle([14, 9, 2], Graphics.Paint.FILL, [200, 40, 40]);
});
// The diver, 24 x 28: a red arrowhead that dives at the player.
local diverPicture = picture(24, 28, function(c) {
    c.drawShape([[12, 27], [0, 2], [12, 9], [24, 2]], [220, 60, 60]);
    c.drawShape([[12, 22], [6, 8], [12, 11], [18, 8]], [255, 150, 90]);
});

// ---------------------------------------------------------------- sounds
local shotSound = Audio.Sound("shot.wav");
local boomSound = Audio.Sound("boom.wav");
local hurtSound = Audio.Sound("hurt.wav");
local startSound = Audio.Sound("start.wav");
shotSound.setVolume(0.5);

// ---------------------------------------------------------------- controls
const LEFT = 0;
const RIGHT = 1;
const UP = 2;
const DOWN = 3;
const FIRE = 4;
const PAUSE = 5;
const QUIT = 6;
const AGAIN = 7;
local pad = Input.Controller();
pad.setConfig({
    [LEFT] = {type = "button", keys = ["key.left", "joy0.left"]},
    [RIGHT] = {type = "button", keys = ["key.right", "joy0.right"]},
    [UP] = {type = "button", keys = ["key.up", "joy0.up"]},
    [DOWN] = {type = "button", keys = ["key.down", "joy0.down"]},
    [FIRE] = {type = "button", keys = ["key.z", "key.space", "joy0.btn1"]},
    [PAUSE] = {type = "button", keys = ["key.escape", "joy0.btn8"]},
    [QUIT] = {type = "button", keys = ["key.q"]},
    [AGAIN] = {type = "button", keys = ["key.enter", "joy0.btn2"]},
});

// ---------------------------------------------------------------- the best score
// best.nut holds a table written by Util.serialize; a missing or damaged file means no record.
function loadBest() {
    local text = IO.readTextFile("best.nut");
    if (text == null) return 0;
    try {
        local record = Util.deserialize(text);
        if (typeof record == "table" && "best" in record && typeof record.best == "integer") return record.best;
    } catch (e) {}
    return 0;
}
function saveBest(score) {
    return IO.writeTextFile("best.nut", Util.serialize({best = score}));
}
local best = loadBest();

// ---------------------------------------------------------------- the game state
local stars = [];
for (local i = 0; i < 70; i++)
    stars.push({x = random.nextInt(W - 1), y = random.nextFloat(H), speed = random.nextFloat(0.5, 3.0)});

local ship = null;
local shots = [];        // the player's: {x, y, shape}
local enemies = [];      // {kind, x, y, vx, vy, age, hp, shape}
local bullets = [];      // the enemies': {x, y, vx, vy, shape}
local sparks = [];       // explosion pieces: {x, y, vx, vy, life, colour}
local score = 0;
local lives = 3;
local wave = 0;
local frame = 0;
local paused = false;
local over = false;
local newRecord = false;

function newGame() {
    ship = {x = W / 2.0, y = H - 60.0, cooldown = 0, safe = 90, shape = Collision.Circle(W / 2, H - 60, 8)};
    shots.clear();
    enemies.clear();
    bullets.clear();
    sparks.clear();
    score = 0;
    lives = 3;
    wave = 0;
    frame = 0;
    over = false;
    newRecord = false;
    startSound.play();
}

// A wave: two rows of drones that sway across the screen, and from the second wave on, divers.
function spawnWave() {
    wave++;
    local count = 7 + (wave < 5 ? wave : 5);
    for (local i = 0; i < count; i++) {
        local x = 40.0 + i * (W - 80.0) / (count - 1) - 14;
        enemies.push({kind = "drone", x = x, y = -30.0 - (i % 2) * 12, vx = 0.0, vy = 1.2, age = i * 9, hp = 2,
                      w = 28, h = 22, stop = 90.0 + (i % 2) * 36 + wave * 6, shape = Collision.Rectangle(0, 0, 1, 1)});
    }
    for (local i = 1; i < wave && i < 6; i++) {
        enemies.push({kind = "diver", x = random.nextFloat(40.0, W - 64.0), y = -60.0 - i * 40, vx = 0.0, vy = 2.2,
                      age = 0, hp = 1, w = 24, h = 28, shape = Collision.Rectangle(0, 0, 1, 1)});
    }
}

function explode(x, y, colour, count) {
    for (local i = 0; i < count; i++) {
        local a = random.nextFloat(6.2831);
        local v = random.nextFloat(0.5, 4.0);
        sparks.push({x = x, y = y, vx = v * cos(a), vy = v * sin(a), life = 20 + random.nextInt(20), colour = colour});
    }
}

// ---------------------------------------------------------------- one frame of play
function movePlayer() {
    local speed = 4.0;
    if (pad.isPressed(LEFT)) ship.x -= speed;
    if (pad.isPressed(RIGHT)) ship.x += speed;
    if (pad.isPressed(UP)) ship.y -= speed;
    if (pad.isPressed(DOWN)) ship.y += speed;
    ship.x = Math.clamp(ship.x, 16.0, W - 16.0);
    ship.y = Math.clamp(ship.y, H / 2.0, H - 24.0);
    ship.shape.x = ship.x.tointeger();
    ship.shape.y = ship.y.tointeger();
    if (ship.safe > 0) ship.safe--;
    if (ship.cooldown > 0) ship.cooldown--;
    if (pad.isPressed(FIRE) && ship.cooldown == 0) {
        foreach (dx in [-7, 7]) shots.push({x = ship.x + dx, y = ship.y - 12, shape = Collision.Line(0, 0, 0, 0)});
        ship.cooldown = 7;
        shotSound.play();
    }
}

function moveShots() {
    foreach (s in shots) {
        // The line covers the whole way the shot travels this frame.
        s.shape.sx = s.x.tointeger();
        s.shape.sy = s.y.tointeger();
        s.y -= 10.0;
        s.shape.ex = s.x.tointeger();
        s.shape.ey = s.y.tointeger();
    }
}

function moveEnemies() {
    foreach (e in enemies) {
        e.age++;
        if (e.kind == "drone") {
            e.x += 1.6 * sin(e.age * 0.03);
            if (e.y < e.stop) e.y += e.vy;
            if (random.nextInt(260) == 0 && e.y > 0) {
                // An aimed shot at the ship.
                local dx = ship.x - (e.x + 14);
                local dy = ship.y - (e.y + 18);
                local d = sqrt(dx * dx + dy * dy) + 0.001;
                bullets.push({x = e.x + 14, y = e.y + 18, vx = 2.6 * dx / d, vy = 2.6 * dy / d,
                              shape = Collision.Circle(0, 0, 4)});
            }
        } else {
            // A diver steers toward the ship's column while it falls.
            e.vx = Math.clamp(e.vx + (ship.x - e.x - 12 > 0 ? 0.08 : -0.08), -2.5, 2.5);
            e.x += e.vx;
            e.y += e.vy;
            if (e.y > H) { e.y = -40.0; e.x = random.nextFloat(40.0, W - 64.0); }
        }
        e.shape.left = e.x.tointeger();
        e.shape.top = e.y.tointeger();
        e.shape.right = e.x.tointeger() + e.w;
        e.shape.bottom = e.y.tointeger() + e.h;
    }
    foreach (b in bullets) {
        b.x += b.vx;
        b.y += b.vy;
        b.shape.x = b.x.tointeger();
        b.shape.y = b.y.tointeger();
    }
    foreach (s in sparks) {
        s.x += s.vx;
        s.y += s.vy;
        s.vx *= 0.95;
        s.vy *= 0.95;
        s.life--;
    }
}

function hurtPlayer() {
    if (ship.safe > 0 || over) return;
    lives--;
    explode(ship.x, ship.y, [120, 190, 255], 40);
    if (lives == 0) {
        over = true;
        boomSound.play();
        if (score > best) {
            best = score;
            newRecord = true;
            saveBest(best);
        }
    } else {
        hurtSound.play();
        ship.safe = 120;
    }
}

function collide() {
    // Shots against enemies.
    foreach (s in shots) {
        foreach (e in enemies) {
            if (s.y > -20 && e.hp > 0 && Collision.intersects(s.shape, e.shape)) {
                s.y = -100.0;  // spent
                e.hp--;
                if (e.hp == 0) {
                    score += e.kind == "drone" ? 100 : 250;
                    explode(e.x + e.w / 2, e.y + e.h / 2, e.kind == "drone" ? [230, 140, 255] : [255, 160, 80], 24);
                    boomSound.play();
                } else {
                    explode(e.x + e.w / 2, e.y + e.h, [255, 255, 200], 4);
                }
                break;
            }
        }
    }
    if (over) return;
    // Enemies and their shots against the ship.
    foreach (e in enemies)
        if (e.hp > 0 && Collision.intersects(ship.shape, e.shape)) { e.hp = 0; explode(e.x + 12, e.y + 12, [255, 160, 80], 20); hurtPlayer(); }
    foreach (b in bullets)
        if (Collision.intersects(ship.shape, b.shape)) { b.y = H + 100.0; hurtPlayer(); }
}

function tidy() {
    shots = shots.filter(@(i, s) s.y > -20);
    enemies = enemies.filter(@(i, e) e.hp > 0);
    bullets = bullets.filter(@(i, b) b.y < H + 10 && b.y > -10 && b.x > -10 && b.x < W + 10);
    sparks = sparks.filter(@(i, s) s.life > 0);
}

// ---------------------------------------------------------------- drawing
local hudFont = Graphics.Font("sans-serif", 16, true, false);
local bigFont = Graphics.FontG("sans-serif", 48, true, false, 255, 0, 0.5);
local smallFont = Graphics.Font("sans-serif", 16);

function centred(font, text, y, colour, second = null) {
    screen.drawText(font, text, [(W - font.getWidth(text)) / 2, y], colour, second);
}

function draw() {
    screen.drawShape([[0, 0, 0x070B1EFF], [W, 0, 0x070B1EFF], [W, H, 0x1A1038FF], [0, H, 0x1A1038FF]], null,
                     Graphics.Blend.NONE);
    foreach (s in stars) {
        local size = s.speed > 2.2 ? 2 : 1;
        local y = s.y.tointeger();
        screen.drawRectangle([s.x, y, s.x + size, y + size], Graphics.Paint.FILL,
                             [(60 + s.speed * 60).tointeger(), 220, 230, 255]);
    }
    foreach (e in enemies)
        screen.drawImage(e.kind == "drone" ? dronePicture : diverPicture, [e.x.tointeger(), e.y.tointeger()]);
    foreach (s in shots) {
        local x = s.x.tointeger();
        local y = s.y.tointeger();
        screen.drawRectangle([x - 1, y, x + 2, y + 10], Graphics.Paint.FILL, [255, 255, 230, 120]);
    }
    foreach (b in bullets) {
        screen.drawCircle([b.x.tointeger(), b.y.tointeger(), 4], Graphics.Paint.FILL, [255, 90, 70]);
        screen.drawCircle([b.x.tointeger(), b.y.tointeger(), 2], Graphics.Paint.FILL, [255, 240, 200]);
    }
    foreach (s in sparks) {
        local a = s.life * 8 > 255 ? 255 : s.life * 8;
        local x = s.x.tointeger();
        local y = s.y.tointeger();
        screen.drawRectangle([x, y, x + 2, y + 2], Graphics.Paint.FILL, [a, s.colour[0], s.colour[1], s.colour[2]],
                             Graphics.Blend.ADD);
    }
    // The ship blinks while it is safe after a hit.
    if (!over && (ship.safe == 0 || (ship.safe / 4) % 2 == 0))
        screen.drawImage(shipPicture, [ship.x.tointeger() - 16, ship.y.tointeger() - 16]);

    screen.drawText(hudFont, format("SCORE %06d", score), [12, 10], [255, 255, 255]);
    local bestText = format("BEST %06d", best > score ? best : score);
    screen.drawText(hudFont, bestText, [W - 12 - hudFont.getWidth(bestText), 10], [255, 220, 120]);
    for (local i = 0; i < lives; i++) screen.drawImage(shipPicture, [12 + i * 22, H - 26, 12 + i * 22 + 18, H - 8]);
    screen.drawText(smallFont, "WAVE " + wave, [W - 80, H - 26], [200, 200, 230]);

    if (frame < 90 && !over) centred(bigFont, "READY", 190, [255, 255, 255], [255, 120, 200, 255]);
    if (over) {
        centred(bigFont, "GAME OVER", 170, [255, 255, 255], [255, 255, 120, 120]);
        if (newRecord) centred(hudFont, "A new best score!", 240, [255, 220, 120]);
        centred(smallFont, "Enter: play again    Esc, then Q: quit", 280, [220, 220, 240]);
    }
    if (paused) {
        screen.drawRectangle([0, 0, W, H], Graphics.Paint.FILL, [150, 0, 0, 0]);
        centred(bigFont, "PAUSED", 170, [255, 255, 255], [255, 150, 220, 255]);
        centred(smallFont, "Esc: go on    Q: quit", 240, [230, 230, 240]);
    }
}

// ---------------------------------------------------------------- the main loop
newGame();
for (;;) {
    pad.update();
    if (pad.isPushed(PAUSE)) paused = !paused;
    if (paused && pad.isPushed(QUIT)) break;
    if (over && pad.isPushed(AGAIN)) newGame();

    if (!paused) {
        frame++;
        foreach (s in stars) {
            s.y += s.speed;
            if (s.y >= H) s.y -= H;
        }
        if (!over) movePlayer();
        if (frame >= 60 && enemies.len() == 0) spawnWave();
        moveShots();
        moveEnemies();
        collide();
        tidy();
    }
    screen.begin();
    draw();
    screen.end();
    Util.fwait(60);
}
