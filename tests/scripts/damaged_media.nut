// Every kind of media file, whole and cut short at fixed offsets (tests/damaged/
// make_truncated.py made them): each either loads (and then plays and draws for a few frames
// without harm) or gives its documented refusal: "failed create instance" for images, sounds
// and movies, null for models.
function err(f) { try { return f(); } catch (e) return e; }
local names = split(IO.readTextFile("files.txt"), "\n");
local world = Graphics.World();
local camera = Graphics.Camera();
local images = [], sounds = [], movies = [];
foreach (name in names) {
    local ext = name.slice(name.len() - 3);
    local result;
    if (ext == "png" || ext == "bmp" || ext == "jpg") {
        local img = err(@() Graphics.Image(name));
        if (img instanceof Graphics.Image) {
            images.append(img);
            result = "image " + img.getWidth() + "x" + img.getHeight();
        } else {
            result = img;
        }
    } else if (ext == "wav" || ext == "ogg") {
        local snd = err(@() Audio.Sound(name));
        if (snd instanceof Audio.Sound) {
            sounds.append(snd);
            result = "sound " + (snd.play() != null ? "plays" : "does not play");
        } else {
            result = snd;
        }
    } else if (ext == "mqo") {
        local actor = world.createActor(name);
        result = actor == null ? "null" : "actor";
    } else if (ext == "avi") {
        local movie = err(@() Graphics.Video(name));
        if (movie instanceof Graphics.Video) {
            movies.append(movie);
            result = "movie " + movie.getWidth() + "x" + movie.getHeight() + " " + movie.play();
        } else {
            result = movie;
        }
    }
    print(name + ": " + result + "\n");
}
// a few frames that play the sounds and movies and draw everything that loaded
local screen = Graphics.getScreenCanvas();
for (local frame = 0; frame < 30; frame++) {
    screen.begin();
    screen.clear([0, 0, 0]);
    foreach (i, img in images) screen.drawImage(img, [i * 4, 0]);
    foreach (i, movie in movies) screen.drawImage(movie, [i * 4, 40]);
    screen.drawWorld(camera, world);
    screen.end();
    Util.fwait(60);
}
print("done: " + images.len() + " images, " + sounds.len() + " sounds, " + movies.len() + " movies\n");
