// A floating island turning slowly in a hazy sky, with more islands far off in the haze.
//
//   Left / Right   circle the camera round the island
//   Up / Down      move the camera nearer or farther
//   Esc            quit
//
// The island is one Metasequoia model (island.mqo, written by make-model.py). Every actor made
// from it shares the geometry and has its own materials, and every material gets the same fog
// effect, so distant islands fade into the colour of the sky behind them.

const W = 640;
const H = 480;
local screen = Graphics.getScreenCanvas();

// The haze: fully lit colours up to 150 units from the camera, the sky's colour from 700 on.
local skyTop = [70, 120, 190];
local haze = [190, 215, 235];
local fog = Graphics.Effect3D.Fog(haze, 150.0, 700.0);

local world = Graphics.World();
function addIsland(position, scale, turn) {
    local actor = world.createActor("island.mqo");
    if (actor == null) throw "island.mqo could not be loaded";
    actor.setPosition(position);
    actor.setScale([scale, scale, scale]);
    actor.setRotation([0.0, turn, 0.0]);
    for (local m = 0; m < 8; m++) actor.setEffect(m, fog);
    return actor;
}

local island = addIsland([0.0, 0.0, 0.0], 1.0, 0.0);
// The far islands, each with its own height, size and bobbing phase.
local far = [];
foreach (i, spot in [[-230, -30, 330, 0.8], [260, -80, 380, 0.6], [-60, -10, 600, 1.1],
                     [380, -20, 140, 0.7], [-380, -70, 60, 0.9], [200, 20, 760, 1.3]]) {
    far.push({actor = addIsland([spot[0] * 1.0, spot[1] * 1.0, spot[2] * 1.0], spot[3], i * 1.3),
              height = spot[1] * 1.0, phase = i * 0.9});
}

// The camera circles the island at a distance and height the keys change.
local camera = Graphics.Camera();
camera.setFar(1500.0);
local orbit = -0.35;     // radians round the island, 0 = looking along +z
local distance = 115.0;  // from the island's centre

const LEFT = 0;
const RIGHT = 1;
const NEARER = 2;
const FARTHER = 3;
const QUIT = 4;
local keys = Input.Controller();
keys.setButton(LEFT, ["key.left", "joy0.left"]);
keys.setButton(RIGHT, ["key.right", "joy0.right"]);
keys.setButton(NEARER, ["key.up", "joy0.up"]);
keys.setButton(FARTHER, ["key.down", "joy0.down"]);
keys.setButton(QUIT, ["key.escape"]);

local font = Graphics.Font("sans-serif", 16);
local help = "Left / Right: circle     Up / Down: nearer / farther     Esc: quit";

for (local frame = 0; ; frame++) {
    keys.update();
    if (keys.isPushed(QUIT)) break;
    if (keys.isPressed(LEFT)) orbit += 0.03;
    if (keys.isPressed(RIGHT)) orbit -= 0.03;
    if (keys.isPressed(NEARER) && distance > 70.0) distance -= 2.0;
    if (keys.isPressed(FARTHER) && distance < 400.0) distance += 2.0;

    // The island turns on its own; the far ones bob up and down.
    island.setRotation([0.0, frame * 0.01, 0.0]);
    foreach (f in far) {
        local p = f.actor.getPosition();
        f.actor.setPosition([p[0], f.height + 6.0 * sin(frame * 0.02 + f.phase), p[2]]);
    }
    camera.setPosition([-distance * sin(orbit), 35.0 + distance * 0.25, -distance * cos(orbit)]);
    camera.setLook([0.0, -6.0, 0.0]);

    screen.begin();
    // The sky: deep blue at the top fading into the haze at the horizon and below.
    local top = (skyTop[0] << 24) | (skyTop[1] << 16) | (skyTop[2] << 8) | 0xFF;
    local low = (haze[0] << 24) | (haze[1] << 16) | (haze[2] << 8) | 0xFF;
    screen.drawShape([[0, 0, top], [W, 0, top], [W, H / 2, low], [0, H / 2, low]], null, Graphics.Blend.NONE);
    screen.drawRectangle([0, H / 2, W, H], Graphics.Paint.FILL, haze, Graphics.Blend.NONE);
    screen.drawWorld(camera, world);
    screen.drawText(font, help, [(W - font.getWidth(help)) / 2, H - 28], [230, 40, 60, 90]);
    screen.end();
    Util.fwait(60);
}
