#include "GlFixture.h"
#include "graphics/Effect.h"

#include <sys/resource.h>

#include <cstring>
#include <string>

using namespace QlTest;

namespace {

// A program that draws format-2 vertices with their colour and leaves culling to the engine.
constexpr const char* kFlat = R"(#pragma ql state cull=engine depth=off
uniform int nTargetWidth;
uniform int nTargetHeight;
#pragma ql vertex
out vec4 vColor;
void main() {
  gl_Position = qlPixelToClip(qlPosition, float(nTargetWidth), float(nTargetHeight));
  vColor = qlColor;
}
#pragma ql fragment
in vec4 vColor;
out vec4 fragColor;
void main() { fragColor = vColor; }
)";

std::shared_ptr<IShader> flatShader(IEngine& e) {
  auto s = e.createShader(kFlat, std::strlen(kFlat));
  if (s) {
    s->setInt(u"nTargetWidth", e.getTargetWidth());
    s->setInt(u"nTargetHeight", e.getTargetHeight());
  }
  return s;
}

Vertex2d at(float x, float y, Color c) { return Vertex2d{x - 0.5f, y - 0.5f, 0, c, 0, 0}; }

}  // namespace

using EngineTest = GlFixture;

TEST_F(EngineTest, CapsAndRejectedArguments) {
  auto caps = engine->getCaps();
  ASSERT_TRUE(caps);
  EXPECT_EQ(caps->getName(), u"OpenGL");
  EXPECT_EQ(caps->getShaderLanguage(), u"GLSL");
  EXPECT_GE(caps->getMaxTextureWidth(), 2048);
  EXPECT_EQ(engine->getCaps(), caps);
  EXPECT_FALSE(engine->createTexture(0, 16, TextureFormat::Argb));
  EXPECT_FALSE(engine->createTexture(16, 16, 0));
  EXPECT_FALSE(engine->createTarget(16, 0, TextureFormat::Argb));
  EXPECT_FALSE(engine->createVertexBuffer(0, Storage::System));
  EXPECT_FALSE(engine->createVertexBuffer(11, Storage::System));
  EXPECT_FALSE(engine->createVertexBuffer(2, 0));
  EXPECT_FALSE(engine->createIndexBuffer(3, Storage::System));
  EXPECT_FALSE(engine->createShader("", 0));
  EXPECT_FALSE(engine->createShader("#pragma ql vertex\nvoid main() { syntax error }\n#pragma ql fragment\n", 60));
  EXPECT_FALSE(Gl::Engine::create(nullptr, 64, 48));
  EXPECT_FALSE(engine->setScreenMode(0));
  EXPECT_TRUE(engine->setScreenMode(ScreenMode::Window));
  EXPECT_FALSE(engine->setBlendMode(4));
  EXPECT_FALSE(engine->setCullMode(3));
  EXPECT_TRUE(engine->setBlendMode(BlendMode::Subtract));
  EXPECT_EQ(engine->getBlendMode(), BlendMode::Subtract);
  EXPECT_EQ(engine->getWidth(), 64);
  EXPECT_EQ(engine->getHeight(), 48);
}

// A refused program is reported on stderr with the stage (or the link) and the driver's own
// message after it.
TEST_F(EngineTest, RefusedProgramsReportTheDriverLog) {
  const auto reported = [&](const char* source) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine->createShader(source, std::strlen(source))) << source;
    return testing::internal::GetCapturedStderr();
  };
  const auto logAfter = [](const std::string& out, const std::string& prefix) {
    const auto at = out.find(prefix);
    if (at == std::string::npos) return std::string();
    return out.substr(at + prefix.size(), out.find('\n', at) - at - prefix.size());
  };
  const std::string vertex = reported("#pragma ql vertex\nvoid main() { syntax error }\n#pragma ql fragment\n"
                                      "out vec4 c;\nvoid main() { c = vec4(1.0); }\n");
  EXPECT_NE(logAfter(vertex, "effect compile error: vertex program: "), "") << vertex;
  const std::string fragment = reported("#pragma ql vertex\nvoid main() { gl_Position = vec4(0.0); }\n"
                                        "#pragma ql fragment\nvoid main() { undefined_call(); }\n");
  EXPECT_NE(logAfter(fragment, "effect compile error: fragment program: "), "") << fragment;
  // Each stage compiles, but the fragment stage calls a function declared and never defined.
  const std::string link = reported("#pragma ql vertex\nvoid main() { gl_Position = vec4(0.0); }\n"
                                    "#pragma ql fragment\nvec4 g();\nout vec4 c;\nvoid main() { c = g(); }\n");
  EXPECT_NE(logAfter(link, "effect compile error: link: "), "") << link;
}

TEST_F(EngineTest, VertexBufferLayouts) {
  const int strides[10] = {16, 24, 28, 36, 32, 28, 40, 32, 44, 52};
  for (int f = 1; f <= 10; ++f) EXPECT_EQ(vertexStride(f), static_cast<std::uint32_t>(strides[f - 1])) << f;
  auto vb = engine->createVertexBuffer(1, Storage::System);
  ASSERT_TRUE(vb);
  const float v[8] = {1, 2, 3, 0, 4, 5, 6, 0};
  EXPECT_FALSE(vb->append(nullptr, 16));
  EXPECT_TRUE(vb->append(v, sizeof v));
  EXPECT_EQ(vb->getCount(), 2u);
  EXPECT_EQ(vb->getSize(), 32u);
  EXPECT_EQ(vb->positionAt(1)[0], 4.0f);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(vb->diffuseAt(1)) - reinterpret_cast<std::uint8_t*>(vb->elementAt(1)), 12);
  EXPECT_EQ(vb->texCoordAt(0), nullptr);
  EXPECT_EQ(vb->normalAt(0), nullptr);
  EXPECT_EQ(vb->elementAt(2), nullptr);
  EXPECT_EQ(vb->getDeviceBuffer(), 0u);  // system storage has no device buffer
  auto v10 = engine->createVertexBuffer(10, Storage::Device);
  std::vector<std::uint8_t> raw(52, 0);
  v10->append(raw.data(), 52);
  const auto base = reinterpret_cast<std::uint8_t*>(v10->elementAt(0));
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(v10->blendIndicesAt(0)) - base, 24);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(v10->normalAt(0)) - base, 28);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(v10->diffuseAt(0)) - base, 40);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(v10->texCoordAt(0)) - base, 44);
  EXPECT_NE(v10->getDeviceBuffer(), 0u);
  auto ib = engine->createIndexBuffer(IndexFormat::Index32, Storage::System);
  EXPECT_EQ(ib->getStride(), 4u);
  EXPECT_EQ(engine->createIndexBuffer(IndexFormat::Index16, Storage::System)->getStride(), 2u);
}

TEST_F(EngineTest, AnErrorLeftByOtherGlCallsDoesNotFailTheNextTexture) {
  glBindTexture(0x1234, 0);  // an invalid target: leaves GL_INVALID_ENUM pending
  auto t = engine->createTexture(4, 4, TextureFormat::Argb);
  EXPECT_TRUE(t);
}

TEST_F(EngineTest, TextureLockKeepsTopDownRowsAndNewTexturesAreClear) {
  auto t = makeTexture(*engine, 5, 3, texel);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->getWidth(), 5);
  EXPECT_FLOAT_EQ(t->toU(5), 1.0f);
  EXPECT_FLOAT_EQ(t->toV(1.5f), 0.5f);
  const auto px = readTexture(*t);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(px[y * 5 + x], texel(x, y));
  auto buf = t->lock();
  ASSERT_TRUE(buf);
  EXPECT_EQ(buf->getPitch(), 20u);
  EXPECT_FALSE(t->lock());  // one lock at a time
  t->unlock();
  auto fresh = engine->createTexture(4, 4, TextureFormat::Xrgb);
  for (Color c : readTexture(*fresh)) EXPECT_EQ(c, 0u);
}

TEST_F(EngineTest, TargetsClearAndReadBack) {
  auto target = engine->createTarget(8, 6, TextureFormat::Argb);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->getColorBuffer()->getWidth(), 8);
  EXPECT_EQ(target->getDepthBuffer()->getHeight(), 6);
  EXPECT_TRUE(engine->setTarget(target));
  EXPECT_EQ(engine->getTargetWidth(), 8);
  EXPECT_EQ(engine->getTargetHeight(), 6);
  engine->clear(0x80402010u);
  for (Color c : readTexture(*target->getTexture())) EXPECT_EQ(c, 0x80402010u);
  engine->setTarget(nullptr);
  EXPECT_EQ(engine->getTargetWidth(), 64);
}

TEST_F(EngineTest, DrawsNeedABufferAndAProgram) {
  auto target = engine->createTarget(8, 8, TextureFormat::Argb);
  engine->setTarget(target);
  engine->setVertexBuffer(nullptr);
  EXPECT_FALSE(engine->draw(Primitive::TriangleList, 1, 0));
  auto vb = engine->createVertexBuffer(2, Storage::System);
  const Vertex2d tri[3] = {at(0, 0, 0xFFFFFFFF), at(8, 0, 0xFFFFFFFF), at(0, 8, 0xFFFFFFFF)};
  vb->append(tri, sizeof tri);
  engine->setVertexBuffer(vb);
  EXPECT_FALSE(engine->draw(Primitive::TriangleList, 1, 0));  // no program begun
  auto s = flatShader(*engine);
  ASSERT_TRUE(s);
  ASSERT_TRUE(s->begin());
  EXPECT_FALSE(engine->draw(7, 1, 0));
  EXPECT_FALSE(engine->draw(Primitive::TriangleList, 2, 0));  // past the end of the buffer
  // Counts whose vertex numbers overflow 32 bits must not wrap into a small, valid draw.
  EXPECT_FALSE(engine->draw(Primitive::TriangleList, 0x55555556u, 0));
  EXPECT_FALSE(engine->draw(Primitive::TriangleStrip, 0xFFFFFFFEu, 0));
  EXPECT_TRUE(engine->draw(Primitive::TriangleList, 1, 0));
  // Making another shader while this one is begun leaves this one drawing.
  constexpr const char* kRed = R"(#pragma ql state cull=engine depth=off
#pragma ql vertex
void main() { gl_Position = vec4(qlPosition, 1.0); }
#pragma ql fragment
out vec4 fragColor;
void main() { fragColor = vec4(1.0, 0.0, 0.0, 1.0); }
)";
  auto red = engine->createShader(kRed, std::strlen(kRed));
  ASSERT_TRUE(red);
  engine->clear(0);
  EXPECT_TRUE(engine->draw(Primitive::TriangleList, 1, 0));
  EXPECT_EQ(readTexture(*target->getTexture())[0], 0xFFFFFFFFu);
  EXPECT_TRUE(s->end());
  EXPECT_FALSE(s->end());
}

TEST_F(EngineTest, CullModesFollowTheWindingSeenOnTheImage) {
  auto target = engine->createTarget(16, 16, TextureFormat::Argb);
  engine->setTarget(target);
  auto s = flatShader(*engine);
  ASSERT_TRUE(s);
  // On screen (y down) a -> b -> c turns clockwise; a -> c -> b counter-clockwise.
  const Vertex2d cw[3] = {at(0, 0, 0xFFFF0000), at(16, 0, 0xFFFF0000), at(0, 16, 0xFFFF0000)};
  const Vertex2d ccw[3] = {at(16, 16, 0xFF00FF00), at(16, 0, 0xFF00FF00), at(0, 16, 0xFF00FF00)};
  auto vb = engine->createVertexBuffer(2, Storage::System);
  vb->append(cw, sizeof cw);
  vb->append(ccw, sizeof ccw);
  engine->setVertexBuffer(vb);
  struct Case {
    int mode;
    Color topLeft, bottomRight;
  } cases[] = {{CullMode::None, 0xFFFF0000, 0xFF00FF00},
               {CullMode::Clockwise, 0, 0xFF00FF00},
               {CullMode::CounterClockwise, 0xFFFF0000, 0}};
  for (const Case& c : cases) {
    engine->clear(0);
    engine->setCullMode(c.mode);
    s->begin();
    engine->draw(Primitive::TriangleList, 2, 0);
    s->end();
    const auto px = readTexture(*target->getTexture());
    EXPECT_EQ(px[1 * 16 + 1], c.topLeft) << "cull mode " << c.mode;
    EXPECT_EQ(px[14 * 16 + 14], c.bottomRight) << "cull mode " << c.mode;
  }
  engine->setCullMode(CullMode::None);
}

TEST_F(EngineTest, IndexedDrawsFromBothStorages) {
  auto target = engine->createTarget(8, 8, TextureFormat::Argb);
  engine->setTarget(target);
  auto s = flatShader(*engine);
  for (int storage : {Storage::System, Storage::Device}) {
    auto vb = engine->createVertexBuffer(2, storage);
    const Vertex2d quad[4] = {at(0, 0, 0xFF0000FF), at(8, 0, 0xFF0000FF), at(8, 4, 0xFF0000FF), at(0, 4, 0xFF0000FF)};
    vb->append(quad, sizeof quad);
    auto ib = engine->createIndexBuffer(IndexFormat::Index16, storage);
    const std::uint16_t idx[9] = {7, 7, 7, 0, 1, 2, 0, 2, 3};
    ib->append(idx, sizeof idx);
    engine->setVertexBuffer(vb);
    engine->setIndexBuffer(ib);
    engine->clear(0);
    s->begin();
    EXPECT_TRUE(engine->drawIndexed(Primitive::TriangleList, 2, 3));
    EXPECT_FALSE(engine->drawIndexed(Primitive::TriangleList, 3, 3));
    // Index 7 names a vertex the four-vertex buffer does not have.
    EXPECT_FALSE(engine->drawIndexed(Primitive::TriangleList, 1, 0)) << storage;
    s->end();
    const auto px = readTexture(*target->getTexture());
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) EXPECT_EQ(px[y * 8 + x], y < 4 ? 0xFF0000FFu : 0u) << storage << " " << x << "," << y;
    // A device buffer is rebuilt after its data changed.
    *vb->diffuseAt(0) = 0xFF00FF00;
    *vb->diffuseAt(1) = 0xFF00FF00;
    *vb->diffuseAt(2) = 0xFF00FF00;
    *vb->diffuseAt(3) = 0xFF00FF00;
    s->begin();
    engine->drawIndexed(Primitive::TriangleList, 2, 3);
    s->end();
    EXPECT_EQ(readTexture(*target->getTexture())[0], 0xFF00FF00u) << storage;
  }
  engine->setIndexBuffer(nullptr);
}

TEST_F(EngineTest, ShaderParametersReachTheProgram) {
  constexpr const char* src = R"(#pragma ql state depth=off
uniform vec4 vTint;
uniform mat4 mMove;
uniform float fScale[2];
#pragma ql vertex
void main() { gl_Position = mMove * vec4(qlPosition, 1.0); }
#pragma ql fragment
out vec4 fragColor;
void main() { fragColor = vec4(vTint.rgb * fScale[1], vTint.a); }
)";
  auto s = engine->createShader(src, std::strlen(src));
  ASSERT_TRUE(s);
  auto target = engine->createTarget(4, 4, TextureFormat::Argb);
  engine->setTarget(target);
  EXPECT_TRUE(s->setColor(u"vTint", 0xFF00FF80));
  const float scales[2] = {0.0f, 0.5f};
  EXPECT_TRUE(s->setFloatArray(u"fScale", scales, 2));
  EXPECT_FALSE(s->setFloat(u"missing", 1.0f));
  // Row-vector convention: the translation sits in the last row and moves x by 10 (off the target).
  Matrix m;
  m.m[3][0] = 10.0f;
  EXPECT_TRUE(s->setMatrix(u"mMove", m));
  auto vb = engine->createVertexBuffer(1, Storage::System);
  const float tri[12] = {-1, -1, 0, 0, 3, -1, 0, 0, -1, 3, 0, 0};
  vb->append(tri, sizeof tri);
  engine->setVertexBuffer(vb);
  engine->clear(0);
  s->begin();
  engine->draw(Primitive::TriangleList, 1, 0);
  s->end();
  EXPECT_EQ(readTexture(*target->getTexture())[5], 0u);
  m.m[3][0] = 0.0f;
  s->setMatrix(u"mMove", m);
  s->begin();
  engine->draw(Primitive::TriangleList, 1, 0);
  s->end();
  EXPECT_TRUE(near(readTexture(*target->getTexture())[5], 0xFF008040u, 1));
}

TEST_F(EngineTest, PresentShowsTheBackBufferAndFullScreenKeepsTheAspect) {
  engine->setTarget(nullptr);
  engine->clear(0xFF123456);
  EXPECT_TRUE(engine->present());
  for (Color c : engine->readBackBuffer()) ASSERT_EQ(c, 0xFF123456u);
  int x = 0, y = 0, w = 0, h = 0;
  engine->presentRect(x, y, w, h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  EXPECT_EQ(x, 0);
  EXPECT_TRUE(engine->setScreenMode(ScreenMode::FullScreen));
  EXPECT_EQ(engine->getScreenMode(), ScreenMode::FullScreen);
  engine->beginScene();
  engine->endScene();
  engine->present();
  int dw = 0, dh = 0;
  window()->drawableSize(dw, dh);
  engine->presentRect(x, y, w, h);
  // Scaled to fit with the 4:3 aspect kept, centred.
  EXPECT_NEAR(static_cast<double>(w) / h, 64.0 / 48.0, 0.02);
  EXPECT_TRUE(w == dw || h == dh);
  EXPECT_EQ(x, (dw - w) / 2);
  EXPECT_EQ(y, (dh - h) / 2);
  engine->setScreenMode(ScreenMode::Window);
  engine->beginScene();
  engine->presentRect(x, y, w, h);
  EXPECT_EQ(w, 64);
}

TEST_F(EngineTest, PresentPutsTheImageUprightBetweenBlackBars) {
  // A window of another shape than the back buffer: 64 x 24 shows the 64 x 48 image at half
  // size, centred, with black bars left and right.
  window()->setOuterSize(64, 24);
  int dw = 0, dh = 0;
  window()->drawableSize(dw, dh);
  ASSERT_EQ(dw, 64);
  ASSERT_EQ(dh, 24);
  auto vb = engine->createVertexBuffer(2, Storage::System);
  const Color red = 0xFFFF0000u, blue = 0xFF0000FFu;
  const Vertex2d band[6] = {at(0, 0, red), at(64, 0, red), at(64, 2, red), at(0, 0, red), at(64, 2, red), at(0, 2, red)};
  vb->append(band, sizeof band);
  engine->setTarget(nullptr);
  engine->beginScene();
  engine->clear(blue);
  auto s = flatShader(*engine);
  ASSERT_TRUE(s);
  engine->setVertexBuffer(vb);
  s->begin();
  engine->draw(Primitive::TriangleList, 2, 0);
  s->end();
  engine->endScene();
  EXPECT_TRUE(engine->present());
  // The window's pixels, bottom row first.
  std::vector<Color> px(static_cast<std::size_t>(dw * dh));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadPixels(0, 0, dw, dh, GL_BGRA, GL_UNSIGNED_BYTE, px.data());
  const auto pixel = [&](int x, int yFromTop) { return px[static_cast<std::size_t>((dh - 1 - yFromTop) * dw + x)] | 0xFF000000u; };
  EXPECT_EQ(pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(pixel(15, 12), 0xFF000000u);
  EXPECT_EQ(pixel(48, 12), 0xFF000000u);
  EXPECT_EQ(pixel(63, 23), 0xFF000000u);
  EXPECT_EQ(pixel(16, 0), red);  // the image's top rows are at the top of the window
  EXPECT_EQ(pixel(47, 0), red);
  EXPECT_EQ(pixel(16, 23), blue);
  EXPECT_EQ(pixel(32, 12), blue);
  window()->setOuterSize(64, 48);
  engine->setTarget(nullptr);
}

TEST_F(EngineTest, SteadyFramesReuseTheDriversMemoryInsteadOfFaultingItIn) {
  // A software rasteriser allocates each frame's binned triangles afresh and frees them when
  // the frame is done; the engine keeps that freed memory, so repeated frames touch pages
  // that are already mapped. Without it this frame faults in about 1,000 pages every time.
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's allocator takes the place of the one whose freed memory the engine keeps";
#endif
  auto canvas = createCanvas(engine, 64, 48);
  ASSERT_TRUE(canvas);
  auto texture = makeTexture(*engine, 32, 32, texel);
  TestImage image(texture);
  const auto frame = [&] {
    canvas->begin();
    for (int i = 0; i < 10000; ++i) canvas->drawImage(&image, Destination{0, i % 40, i % 24});
    canvas->end();
    glFinish();
  };
  for (int i = 0; i < 3; ++i) frame();
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  for (int i = 0; i < 4; ++i) frame();
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT((after.ru_minflt - before.ru_minflt) / 4, 200);
}
