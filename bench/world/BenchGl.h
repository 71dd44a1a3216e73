#pragma once
// A headless OpenGL engine and graphics context for the benchmarks.

#include "graphics/Canvas.h"
#include "graphics/Context.h"
#include "graphics/gl/GlEngine.h"
#include "platform/Video.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace QlBench {

struct Gl {
    std::shared_ptr<QlPlatform::NativeWindow> window;
    std::shared_ptr<QlGraphics::Gl::Engine> engine;
    std::shared_ptr<QlGraphics::Context> context;

    bool open(int width, int height)
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!QlPlatform::initVideo())
            return false;
        window = QlPlatform::NativeWindow::create("bench", width, height);
        if (!window)
            return false;
        engine = QlGraphics::Gl::Engine::create(window, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
        if (!engine)
            return false;
        context = QlGraphics::Context::create(engine);
        if (!context)
            return false;
        QlGraphics::setContext(context);
        QlGraphics::setScreenCanvas(QlGraphics::createCanvas(engine, static_cast<std::uint16_t>(width),
                                                             static_cast<std::uint16_t>(height)));
        return QlGraphics::getScreenCanvas() != nullptr;
    }
    ~Gl()
    {
        QlGraphics::setScreenCanvas(nullptr);
        QlGraphics::setContext(nullptr);
    }
};

inline double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace QlBench
