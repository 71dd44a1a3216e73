#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/Canvas.h"
#include "graphics/gl/GlEngine.h"
#include "platform/Video.h"

namespace QlTest {

using namespace QlGraphics;

// Every GL test needs a real context: when none can be made the test fails, it never skips.
struct GlFixture : ::testing::Test {
  static std::shared_ptr<QlPlatform::NativeWindow>& window() {
    static std::shared_ptr<QlPlatform::NativeWindow> w;
    return w;
  }
  static std::shared_ptr<Gl::Engine>& sharedEngine() {
    static std::shared_ptr<Gl::Engine> e;
    return e;
  }
  std::shared_ptr<Gl::Engine> engine;

  void SetUp() override {
    if (!sharedEngine()) {
      ASSERT_TRUE(QlPlatform::initVideo()) << QlPlatform::lastError();
      window() = QlPlatform::NativeWindow::create("gl tests", 64, 48);
      ASSERT_TRUE(window()) << "no window: " << QlPlatform::lastError();
      sharedEngine() = Gl::Engine::create(window(), 64, 48);
      ASSERT_TRUE(sharedEngine()) << "OpenGL 3.3 core context could not be created";
    }
    engine = sharedEngine();
    engine->setTarget(nullptr);
    engine->setBlendMode(BlendMode::Opaque);
    engine->setCullMode(CullMode::None);
  }
};

// An image over a texture region.
class TestImage : public IImage {
 public:
  TestImage(std::shared_ptr<ITexture> t, std::uint16_t x, std::uint16_t y, std::uint16_t w, std::uint16_t h)
      : texture_(std::move(t)), x_(x), y_(y), w_(w), h_(h) {}
  explicit TestImage(std::shared_ptr<ITexture> t)
      : TestImage(t, 0, 0, t->getWidth(), t->getHeight()) {}
  std::uint16_t getWidth() const override { return w_; }
  std::uint16_t getHeight() const override { return h_; }
  std::shared_ptr<ITexture> getTexture() const override { return texture_; }
  bool getRegion(Region& r) const override {
    r = Region{texture_.get(), x_, y_, w_, h_};
    return true;
  }

 private:
  std::shared_ptr<ITexture> texture_;
  std::uint16_t x_, y_, w_, h_;
};

// A distinct opaque colour per texel.
inline Color texel(int x, int y) {
  return 0xFF000000u | (static_cast<Color>(x * 37 + 11) & 0xFF) << 16 | (static_cast<Color>(y * 53 + 7) & 0xFF) << 8 |
         static_cast<Color>((x * 5 + y * 17) & 0xFF);
}

template <class F>
std::shared_ptr<ITexture> makeTexture(IEngine& e, int w, int h, F colorAt) {
  auto t = e.createTexture(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h), TextureFormat::Argb);
  if (!t) return nullptr;
  auto buf = t->lock();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Color c = colorAt(x, y);
      std::memcpy(buf->pixelAt(x, y), &c, 4);
    }
  t->unlock();
  return t;
}

inline std::vector<Color> readTexture(ITexture& t) {
  std::vector<Color> out(static_cast<std::size_t>(t.getWidth()) * t.getHeight());
  auto buf = t.lock();
  if (!buf) return {};
  for (int y = 0; y < t.getHeight(); ++y) std::memcpy(&out[static_cast<std::size_t>(y) * t.getWidth()], buf->rowAt(y), t.getWidth() * 4u);
  t.unlock();
  return out;
}

inline std::vector<Color> readCanvas(ICanvas& c) {
  auto t = c.getTexture();
  return t ? readTexture(*t) : std::vector<Color>{};
}

inline int channel(Color c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

inline ::testing::AssertionResult near(Color actual, Color expected, int tolerance) {
  for (int s = 0; s < 32; s += 8)
    if (std::abs(channel(actual, s) - channel(expected, s)) > tolerance)
      return ::testing::AssertionFailure() << std::hex << "0x" << actual << " vs expected 0x" << expected;
  return ::testing::AssertionSuccess();
}

}  // namespace QlTest
