// Graphics.Video: a movie played from a file and drawn like an image.
#include "script/graphics3d/Wrappers3d.h"

namespace Quillorane {

using QlGraphics::IVideo;

Bind::Class<ScVideo> videoClass(HSQUIRRELVM v) {
    Bind::Class<ScVideo> c(v, u"Video");
    c.ctor("s",
           [](const std::u16string& path) -> ScVideo* {
               auto video = QlGraphics::createVideo(path);
               return video ? new ScVideo(std::move(video)) : nullptr;
           })
        .method(u"play", [](ScVideo& s) { return s.video->play(); })
        .method(u"loop", [](ScVideo& s) { return s.video->playLoop(); })
        .method(u"stop", [](ScVideo& s) { return s.video->stop(); })
        .method(u"pause", [](ScVideo& s) { return s.video->pause(); })
        .method(u"restart", [](ScVideo& s) { return s.video->resume(); })
        .method(u"isPlaying", [](ScVideo& s) { return s.video->isPlaying(); })
        .method(u"isLooped", [](ScVideo& s) { return s.video->isLooping(); })
        .method(u"isPaused", [](ScVideo& s) { return s.video->isPaused(); })
        .method(u"setVolume", [](ScVideo& s, float volume) { return s.video->setVolume(volume); })
        .method(u"getVolume", [](ScVideo& s) { return s.video->getVolume(); })
        .method(u"setCursor", [](ScVideo& s, float seconds) { return s.video->setPosition(seconds); })
        .method(u"getCursor", [](ScVideo& s) { return static_cast<float>(s.video->getPosition()); })
        .method(u"getLength", [](ScVideo& s) { return static_cast<float>(s.video->getDuration()); })
        .method(u"getWidth", [](ScVideo& s) { return static_cast<int>(s.video->getWidth()); })
        .method(u"getHeight", [](ScVideo& s) { return static_cast<int>(s.video->getHeight()); });
    return c;
}

}  // namespace Quillorane
