// CPU cost of drawing a world: 1,000 actors of a 500-triangle model, half of them outside
// the view (skipped by clipping). Prints the time per drawWorld call, with and without
// waiting for the GPU, and the share spent in the clipping test.
// Run: build/bench/world/ql_world_bench [frames]
#include "BenchGl.h"
#include "TimingEngine.h"

#include "graphics/world/Model.h"
#include "graphics/world/Transform.h"

#include <chrono>
#include <cmath>
#include <epoxy/gl.h>
#include <numbers>
#include <string>

using namespace QlGraphics;

namespace {

// A 25 x 10 grid of quads bent into a tube: 500 triangles.
std::string tubeModel()
{
    std::string doc = "Metasequoia Document\nFormat Text Ver 1.0\nMaterial 1 {\n\"m\" col(0.800 0.600 0.400 1.000) "
                      "dif(1.000)\n}\nObject \"tube\" {\n vertex 286 {\n";
    char line[128];
    for (int j = 0; j <= 10; ++j)
        for (int i = 0; i <= 25; ++i) {
            const double a = 2 * std::numbers::pi * i / 25;
            std::snprintf(line, sizeof line, "  %.4f %.4f %.4f\n", std::cos(a), j * 0.2 - 1.0, std::sin(a));
            doc += line;
        }
    doc += " }\n face 250 {\n";
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 25; ++i) {
            const int a = j * 26 + i, b = a + 26;
            std::snprintf(line, sizeof line, "  4 V(%d %d %d %d) M(0)\n", a, b, b + 1, a + 1);
            doc += line;
        }
    return doc + " }\n}\n";
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QlBench::Gl gl;
    if (!gl.open(640, 480)) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }
    const std::string text = tubeModel();
    auto data = ModelLoader::parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    auto model = data ? createModel(*gl.engine, *data, u"", nullptr) : nullptr;
    if (!model) {
        std::fprintf(stderr, "model not built\n");
        return 1;
    }
    World world;
    std::vector<std::shared_ptr<IActor>> actors;
    for (int k = 0; k < 1000; ++k) {
        auto actor = world.createActor(model);
        const float x = static_cast<float>(k % 25) * 3 - 36, y = static_cast<float>(k / 25 % 20) * 3 - 30;
        // Even actors in front of the camera, odd ones behind it.
        actor->setPosition(x, y, k % 2 == 0 ? 60.0f : -60.0f);
        actor->setRotation(0.3f * static_cast<float>(k), 0.1f * static_cast<float>(k), 0);
        actor->setPriority(k % 7);
        actors.push_back(actor);
    }
    auto canvas = createCanvas(gl.engine, 640, 480);
    const Matrix view = lookAt({0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    const Matrix projection = perspective(1.0471976f, 640.0f / 480.0f, 1.0f, 5000.0f);
    auto timing = std::make_shared<QlBench::TimingEngine>(gl.engine);
    Renderer3d renderer(timing, canvas->getTarget());

    const auto run = [&](bool finish) {
        double total = 0;
        for (int f = 0; f < frames; ++f) {
            canvas->clear(0xFF000000u);
            canvas->begin();
            const auto t0 = std::chrono::steady_clock::now();
            drawWorld(*canvas, world, view, projection, renderer);
            if (finish)
                glFinish();
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            canvas->end();
            glFinish();
        }
        return total / frames;
    };
    run(false);  // warm-up: shaders, device buffers
    const auto before = renderer.drawCount();
    timing->drawSeconds = 0;
    const double cpu = run(false);
    const double driver = timing->drawSeconds / frames;
    const double drawsPerFrame = static_cast<double>(renderer.drawCount() - before) / frames;
    const double withGpu = run(true);

    // The clipping test alone, over all actors.
    const Matrix vp = multiply(view, projection);
    int inside = 0;
    const auto c0 = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f)
        for (const auto& a : actors)
            inside += isInView(*a, multiply(a->getWorldMatrix(), vp)) ? 1 : 0;
    const double clip = std::chrono::duration<double>(std::chrono::steady_clock::now() - c0).count() / frames;

    std::printf("drawWorld, 1000 actors x 500 triangles, half clipped (%d frames)\n", frames);
    std::printf("  actors drawn per frame:         %.0f (in view by the box test: %d)\n", drawsPerFrame,
                inside / frames);
    std::printf("  CPU time per drawWorld:         %.3f ms\n", cpu * 1e3);
    std::printf("  of which inside the GL draw:    %.3f ms\n", driver * 1e3);
    std::printf("  runtime's own CPU per frame:    %.3f ms (%.2f us per drawn actor)\n", (cpu - driver) * 1e3,
                (cpu - driver) * 1e6 / std::max(drawsPerFrame, 1.0));
    std::printf("  world matrix + box test, all:   %.3f ms\n", clip * 1e3);
    std::printf("  drawWorld with glFinish:        %.3f ms (%s renderer)\n", withGpu * 1e3,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    return 0;
}
