// A short movie with its sound, drawn on the screen canvas like any image, with a progress bar.
//
//   Space   pause / go on
//   Enter   watch again from the start (after the end, or at any time)
//   Esc     quit
//
// sunrise.mp4 is made by make-movie.sh. A Video plays in real time on a thread of its own and
// is heard through the game's sound; each frame the game draws whatever picture is newest.

const W = 640;
const H = 480;
local screen = Graphics.getScreenCanvas();

local movie = Graphics.Video("sunrise.mp4");
local length = movie.getLength();
movie.play();

const PAUSE = 0;
const AGAIN = 1;
const QUIT = 2;
local keys = Input.Controller();
keys.setButton(PAUSE, ["key.space", "joy0.btn1"]);
keys.setButton(AGAIN, ["key.enter", "joy0.btn2"]);
keys.setButton(QUIT, ["key.escape"]);

local titleFont = Graphics.FontG("serif", 30, true, false, 255, 0, 0.5);
local font = Graphics.Font("sans-serif", 16);

// Where the movie goes: 1.8 times its size, centred between the title and the controls.
local mw = movie.getWidth() * 9 / 5;
local mh = movie.getHeight() * 9 / 5;
local mx = (W - mw) / 2;
local my = 66;

function seconds(s) {
    return format("%d:%04.1f", s.tointeger() / 60, s % 60);
}

local ended = false;
for (local frame = 0; ; frame++) {
    keys.update();
    if (keys.isPushed(QUIT)) break;
    if (keys.isPushed(AGAIN)) {
        movie.stop();
        movie.play();
        ended = false;
    } else if (keys.isPushed(PAUSE) && !ended) {
        if (movie.isPaused()) movie.restart(); else movie.pause();
    }
    // A movie that is neither playing nor paused has reached its end (and rewound to 0).
    if (!movie.isPlaying() && !movie.isPaused()) ended = true;

    screen.begin();
    screen.clear([16, 14, 24]);
    local t = "The Quillorane Theatre";
    screen.drawText(titleFont, t, [(W - titleFont.getWidth(t)) / 2, 16], [255, 250, 230, 190], [255, 200, 140, 60]);

    // A thin frame round the picture, then the picture itself.
    screen.drawRectangle([mx - 3, my - 3, mx + mw + 3, my + mh + 3], Graphics.Paint.FILL, [60, 52, 70]);
    screen.drawImage(movie, [mx, my, mx + mw, my + mh]);

    // The progress bar and the time.
    local at = ended ? length : movie.getCursor();
    local barTop = my + mh + 14;
    screen.drawRectangle([mx, barTop, mx + mw, barTop + 6], Graphics.Paint.FILL, [50, 46, 60]);
    if (length > 0) {
        local done = (mw * at / length).tointeger();
        screen.drawRectangle([mx, barTop, mx + done, barTop + 6], Graphics.Paint.FILL, [240, 170, 90]);
    }
    local time = seconds(at) + " / " + seconds(length);
    screen.drawText(font, time, [mx + mw - font.getWidth(time), barTop + 12], [200, 195, 210]);

    local state = ended ? "The end.  Enter: watch again    Esc: quit"
                : movie.isPaused() ? "Paused.  Space: go on    Enter: from the start    Esc: quit"
                : "Space: pause    Enter: from the start    Esc: quit";
    local alpha = ended ? 150 + 105 * ((frame / 30) % 2) : 255;
    screen.drawText(font, state, [mx, barTop + 12], [alpha, 235, 230, 245]);
    screen.end();
    Util.fwait(60);
}
