#include "ForwardingEngine.h"
#include "GlFixture.h"
#include "graphics/world/Model.h"

using namespace QlTest;

namespace {

// Forwards everything to the real engine and records every draw with the vertices it drew.
class CountingEngine : public ForwardingEngine {
 public:
  struct Draw {
    int primitive;
    std::uint32_t count;
    int blend;
    std::vector<Vertex2d> vertices;
  };
  using ForwardingEngine::ForwardingEngine;
  std::vector<Draw> draws;
  int shaderCompiles = 0;

  std::shared_ptr<IShader> createShader(const char* src, std::size_t n) override {
    ++shaderCompiles;
    return e_->createShader(src, n);
  }
  bool draw(int primitive, std::uint32_t count, std::uint32_t start) override {
    Draw d{primitive, count, e_->getBlendMode(), {}};
    auto vb = e_->getVertexBuffer();
    const std::uint32_t used = primitiveVertexCount(primitive, count);
    for (std::uint32_t i = start; vb && i < start + used && i < vb->getCount(); ++i)
      d.vertices.push_back(*static_cast<const Vertex2d*>(vb->elementAt(i)));
    draws.push_back(std::move(d));
    return e_->draw(primitive, count, start);
  }
  // Recorded like draw: the vertices in the order the indices pick them.
  bool drawIndexed(int primitive, std::uint32_t count, std::uint32_t start) override {
    Draw d{primitive, count, e_->getBlendMode(), {}};
    auto vb = e_->getVertexBuffer();
    auto ib = e_->getIndexBuffer();
    const std::uint32_t used = primitiveVertexCount(primitive, count);
    for (std::uint32_t i = start; vb && ib && i < start + used && i < ib->getCount(); ++i) {
      const std::uint32_t index = ib->getFormat() == IndexFormat::Index16
                                      ? *static_cast<const std::uint16_t*>(ib->elementAt(i))
                                      : *static_cast<const std::uint32_t*>(ib->elementAt(i));
      if (index < vb->getCount()) d.vertices.push_back(*static_cast<const Vertex2d*>(vb->elementAt(index)));
    }
    draws.push_back(std::move(d));
    return e_->drawIndexed(primitive, count, start);
  }
};

// A second effect object of the basic type: same program, different batch state.
class OtherBasic : public BasicEffect2d {};

struct BatchingTest : GlFixture {
  std::shared_ptr<CountingEngine> counting;
  std::shared_ptr<ICanvas> canvas;
  std::shared_ptr<ITexture> texA, texB;
  std::unique_ptr<TestImage> a, b, a2;

  void SetUp() override {
    GlFixture::SetUp();
    if (HasFatalFailure()) return;
    counting = std::make_shared<CountingEngine>(engine);
    canvas = createCanvas(counting, 32, 32);
    ASSERT_TRUE(canvas);
    texA = makeTexture(*engine, 4, 4, texel);
    texB = makeTexture(*engine, 4, 4, texel);
    a = std::make_unique<TestImage>(texA);
    b = std::make_unique<TestImage>(texB);
    a2 = std::make_unique<TestImage>(texA, 1, 1, 2, 2);  // another image on the same texture
  }
  std::size_t draws() const { return counting->draws.size(); }
};

}  // namespace

TEST_F(BatchingTest, SameTextureRunsAreOneDrawAtEnd) {
  canvas->begin();
  for (int i = 0; i < 50; ++i) canvas->drawImage(a.get(), Destination{0, i % 28, i / 28});
  canvas->drawImage(a2.get(), Destination{0, 5, 5});  // same texture, same state: same batch
  EXPECT_EQ(draws(), 0u);
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  EXPECT_EQ(counting->draws[0].primitive, Primitive::TriangleList);
  EXPECT_EQ(counting->draws[0].count, 102u);
  EXPECT_EQ(counting->draws[0].blend, BlendMode::Alpha);
  canvas->begin();
  canvas->end();  // nothing pending: no draw
  EXPECT_EQ(draws(), 1u);
}

TEST_F(BatchingTest, SwitchesOfTextureBlendOrEffectFlush) {
  auto otherPtr = std::make_shared<OtherBasic>();
  canvas->begin();
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  canvas->drawImage(a.get(), Destination{0, 4, 0});
  canvas->drawImage(b.get(), Destination{0, 8, 0});  // image switch
  EXPECT_EQ(draws(), 1u);
  EXPECT_EQ(counting->draws[0].count, 4u);
  canvas->drawImage(a.get(), Destination{0, 0, 4});  // and back
  EXPECT_EQ(draws(), 2u);
  canvas->drawImage(a.get(), Destination{0, 0, 8}, nullptr, BlendMode::Add, kWhite);  // blend switch
  EXPECT_EQ(draws(), 3u);
  canvas->drawImage(a.get(), Destination{0, 0, 12}, otherPtr.get(), BlendMode::Add, kWhite);  // effect switch
  EXPECT_EQ(draws(), 4u);
  const Point2d line[2] = {{0, 0, 0, kWhite}, {5, 5, 0, kWhite}};
  canvas->drawLines(line, 2, otherPtr.get(), BlendMode::Add, kWhite);  // untextured lines
  EXPECT_EQ(draws(), 5u);
  canvas->end();
  ASSERT_EQ(draws(), 6u);
  EXPECT_EQ(counting->draws[4].blend, BlendMode::Add);
  EXPECT_EQ(counting->draws[5].primitive, Primitive::LineList);
  // Both effects have the basic type: one program compiled for the canvas, shared by both.
  EXPECT_EQ(counting->shaderCompiles, 1);
}

TEST_F(BatchingTest, UnknownBlendModesAndUnsharedEffectsAreRefusedAndTheBatchKept) {
  canvas->begin();
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 0, 0}));
  EXPECT_FALSE(canvas->drawImage(a.get(), Destination{0, 4, 0}, nullptr, 7, kWhite));
  EXPECT_FALSE(canvas->drawImage(a.get(), Destination{0, 4, 0}, nullptr, -1, kWhite));
  const Point2d shape[3] = {{0, 0, 0, kWhite}, {8, 0, 0, kWhite}, {0, 8, 0, kWhite}};
  EXPECT_FALSE(canvas->drawShape(shape, 3, nullptr, 4, kWhite));
  OtherBasic onStack;  // not held by a shared pointer, so a batch could not keep it alive
  EXPECT_FALSE(canvas->drawImage(a.get(), Destination{0, 4, 0}, &onStack, BlendMode::Alpha, kWhite));
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  EXPECT_EQ(counting->draws[0].count, 2u);
  EXPECT_EQ(counting->draws[0].blend, BlendMode::Alpha);
}

TEST_F(BatchingTest, DrawWorldFlushesThePendingBatchFirst) {
  World world;  // empty: whatever is drawn is the 2D batch
  canvas->begin();
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  canvas->drawImage(a.get(), Destination{0, 4, 0});
  EXPECT_EQ(draws(), 0u);
  Renderer3d renderer(counting, canvas->getTarget(), rendererCacheFor(counting, canvas->getTarget()));
  EXPECT_TRUE(drawWorld(*canvas, world, Matrix{}, Matrix{}, renderer));
  ASSERT_EQ(draws(), 1u);
  EXPECT_EQ(counting->draws[0].count, 4u);
  canvas->drawImage(a.get(), Destination{0, 8, 0});  // a new batch after the world
  canvas->end();
  ASSERT_EQ(draws(), 2u);
  EXPECT_EQ(counting->draws[1].count, 2u);
}

TEST_F(BatchingTest, ClearFlushesAndIsAllowedWhileDrawing) {
  canvas->begin();
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  EXPECT_TRUE(canvas->clear(0xFF000000u));
  EXPECT_EQ(draws(), 1u);
  canvas->drawImage(a.get(), Destination{0, 1, 1});
  canvas->end();
  EXPECT_EQ(draws(), 2u);
  // The first quad was drawn before the clear and is gone; the second one is there.
  const auto px = readCanvas(*canvas);
  EXPECT_EQ(px[1 * 32 + 1], texel(0, 0));
  EXPECT_EQ(px[0], 0xFF000000u);
}

TEST_F(BatchingTest, StripsAndFansBecomeLists) {
  std::vector<Vertex2d> v;
  for (int i = 0; i < 5; ++i) v.push_back(Vertex2d{static_cast<float>(i), static_cast<float>(i * 10), 0, kWhite, 0, 0});
  Region r;
  a->getRegion(r);
  canvas->begin();
  ASSERT_TRUE(canvas->drawPolygon(r, Primitive::TriangleStrip, v.data(), 5, Rect{0, 0, 4, 4}, nullptr, 1, kWhite));
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  const auto& d = counting->draws[0];
  EXPECT_EQ(d.primitive, Primitive::TriangleList);
  EXPECT_EQ(d.count, 3u);
  ASSERT_EQ(d.vertices.size(), 9u);
  // (0 1 2) (1 3 2) (2 3 4): odd triangles swap their last two vertices.
  const int order[9] = {0, 1, 2, 1, 3, 2, 2, 3, 4};
  for (int k = 0; k < 9; ++k) EXPECT_FLOAT_EQ(d.vertices[k].x, static_cast<float>(order[k]) - 0.5f) << k;

  const Point2d line[4] = {{0, 0, 0, kWhite}, {1, 0, 0, kWhite}, {2, 0, 0, kWhite}, {3, 0, 0, kWhite}};
  const Point2d fan[5] = {{0, 0, 0, kWhite}, {1, 0, 0, kWhite}, {2, 0, 0, kWhite}, {3, 0, 0, kWhite}, {4, 0, 0, kWhite}};
  canvas->begin();
  canvas->drawLines(line, 4);
  canvas->drawLines(line, 4);  // same state: merged
  canvas->drawShape(fan, 5);   // triangles: another batch
  canvas->end();
  ASSERT_EQ(draws(), 3u);
  EXPECT_EQ(counting->draws[1].primitive, Primitive::LineList);
  EXPECT_EQ(counting->draws[1].count, 6u);
  EXPECT_EQ(counting->draws[1].vertices.size(), 12u);
  EXPECT_FLOAT_EQ(counting->draws[1].vertices[2].x, 1.0f);
  EXPECT_FLOAT_EQ(counting->draws[1].vertices[3].x, 2.0f);
  EXPECT_EQ(counting->draws[2].count, 3u);
  // Shape points stay on pixel centres, as line points do.
  const int fanOrder[9] = {0, 1, 2, 0, 2, 3, 0, 3, 4};
  for (int k = 0; k < 9; ++k)
    EXPECT_FLOAT_EQ(counting->draws[2].vertices[k].x, static_cast<float>(fanOrder[k])) << k;
}

TEST_F(BatchingTest, QuadCornersSitHalfAPixelBackAndRejectedDrawsKeepTheBatch) {
  canvas->begin();
  canvas->drawImage(a.get(), Destination{0, 7, 9});
  const Point2d one[1] = {{0, 0, 0, kWhite}};
  EXPECT_FALSE(canvas->drawShape(one, 1));           // too few points: the batch stays
  EXPECT_FALSE(canvas->drawImage(nullptr, Destination{0, 0, 0}));  // no image: the batch stays
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  const auto& q = counting->draws[0].vertices;
  ASSERT_EQ(q.size(), 6u);
  float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
  for (const Vertex2d& v : q) {
    minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
    minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
  }
  EXPECT_EQ(minX, 6.5f);
  EXPECT_EQ(minY, 8.5f);
  EXPECT_EQ(maxX, 10.5f);
  EXPECT_EQ(maxY, 12.5f);
}

namespace {

// Corner positions of quad k of a drawn triangle list: triangles a b c and a c d of the quad
// whose top-left pixel is (x, y) and whose size is 4 x 4.
void expectQuadAt(const std::vector<Vertex2d>& v, std::size_t first, float x, float y) {
  ASSERT_GE(v.size(), first + 6);
  const float xs[6] = {x, x + 4, x + 4, x, x + 4, x}, ys[6] = {y, y, y + 4, y, y + 4, y + 4};
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(v[first + k].x, xs[k] - 0.5f) << first + k;
    EXPECT_EQ(v[first + k].y, ys[k] - 0.5f) << first + k;
  }
}

}  // namespace

TEST_F(BatchingTest, QuadsAndOtherTrianglesShareOneBatchInEitherOrder) {
  Region r;
  ASSERT_TRUE(a->getRegion(r));
  const Vertex2d tri[3] = {{20, 20, 0, kWhite, 0, 0}, {24, 20, 0, kWhite, 1, 0}, {20, 24, 0, kWhite, 0, 1}};
  // Quads first, then a triangle list, then another quad.
  canvas->begin();
  canvas->clear(0xFF000000u);
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  canvas->drawImage(a.get(), Destination{0, 4, 8});
  ASSERT_TRUE(canvas->drawPolygon(r, Primitive::TriangleList, tri, 3, Rect{0, 0, 4, 4}, nullptr, 1, kWhite));
  canvas->drawImage(a.get(), Destination{0, 8, 0});
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  const auto& d = counting->draws[0];
  EXPECT_EQ(d.primitive, Primitive::TriangleList);
  EXPECT_EQ(d.count, 7u);
  ASSERT_EQ(d.vertices.size(), 21u);
  expectQuadAt(d.vertices, 0, 0, 0);
  expectQuadAt(d.vertices, 6, 4, 8);
  EXPECT_EQ(d.vertices[12].x, 19.5f);
  EXPECT_EQ(d.vertices[13].x, 23.5f);
  EXPECT_EQ(d.vertices[14].y, 23.5f);
  EXPECT_EQ(d.vertices[13].u, 1.0f);
  expectQuadAt(d.vertices, 15, 8, 0);
  const auto px = readCanvas(*canvas);
  EXPECT_EQ(px[1 * 32 + 1], texel(1, 1));
  EXPECT_EQ(px[11 * 32 + 7], texel(3, 3));
  EXPECT_EQ(px[3 * 32 + 8], texel(0, 3));
  EXPECT_EQ(px[20 * 32 + 20], texel(0, 0));

  // A triangle list first, then quads.
  canvas->begin();
  ASSERT_TRUE(canvas->drawPolygon(r, Primitive::TriangleList, tri, 3, Rect{0, 0, 4, 4}, nullptr, 1, kWhite));
  canvas->drawImage(a.get(), Destination{0, 12, 4});
  canvas->drawImage(a.get(), Destination{0, 0, 16});
  canvas->end();
  ASSERT_EQ(draws(), 2u);
  const auto& e = counting->draws[1];
  EXPECT_EQ(e.count, 5u);
  ASSERT_EQ(e.vertices.size(), 15u);
  EXPECT_EQ(e.vertices[0].x, 19.5f);
  expectQuadAt(e.vertices, 3, 12, 4);
  expectQuadAt(e.vertices, 9, 0, 16);
}

TEST_F(BatchingTest, LongQuadRunIsOneDrawThatReachesItsLastQuad) {
  // More quads than the batch first has room for, all in the right column but the last one.
  constexpr int kQuads = 5000;
  canvas->begin();
  canvas->clear(0xFF000000u);
  for (int i = 0; i + 1 < kQuads; ++i) canvas->drawImage(a.get(), Destination{0, 20 + i % 9, 20});
  canvas->drawImage(a.get(), Destination{0, 10, 12});
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  const auto& d = counting->draws[0];
  EXPECT_EQ(d.count, 2u * kQuads);
  ASSERT_EQ(d.vertices.size(), 6u * kQuads);
  expectQuadAt(d.vertices, 6u * (kQuads - 2), 20 + (kQuads - 2) % 9, 20);
  expectQuadAt(d.vertices, 6u * (kQuads - 1), 10, 12);
  const auto px = readCanvas(*canvas);
  EXPECT_EQ(px[12 * 32 + 10], texel(0, 0));
  EXPECT_EQ(px[15 * 32 + 13], texel(3, 3));
  EXPECT_EQ(px[11 * 32 + 10], 0xFF000000u);
  EXPECT_EQ(px[12 * 32 + 14], 0xFF000000u);
  // A short run after the long one draws just its own quads.
  canvas->begin();
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  canvas->end();
  ASSERT_EQ(draws(), 2u);
  EXPECT_EQ(counting->draws[1].count, 2u);
  expectQuadAt(counting->draws[1].vertices, 0, 0, 0);
  EXPECT_EQ(counting->draws[1].vertices.size(), 6u);
}

TEST_F(BatchingTest, RunBeyondTheBatchBufferGoesOnInTheNextDrawWithNothingLost) {
  const auto perDraw = static_cast<int>(Renderer2d::kBatchVertices / 6);
  const int quads = perDraw + 100;
  const auto at = [](int i) { return std::pair<float, float>(float(i % 28), float(i / 28 % 28)); };
  canvas->begin();
  for (int i = 0; i < quads; ++i) canvas->drawImage(a.get(), Destination{0, int(at(i).first), int(at(i).second)});
  canvas->end();
  ASSERT_EQ(draws(), 2u);
  EXPECT_EQ(counting->draws[0].count, 2u * perDraw);
  EXPECT_EQ(counting->draws[1].count, 200u);
  expectQuadAt(counting->draws[0].vertices, 0, at(0).first, at(0).second);
  expectQuadAt(counting->draws[0].vertices, 6u * (perDraw - 1), at(perDraw - 1).first, at(perDraw - 1).second);
  expectQuadAt(counting->draws[1].vertices, 0, at(perDraw).first, at(perDraw).second);
  expectQuadAt(counting->draws[1].vertices, 6u * 99, at(quads - 1).first, at(quads - 1).second);

  // One fan larger than the buffer: what is pending is drawn, then the whole fan in one draw.
  std::vector<Vertex2d> fan(30000);
  for (std::size_t i = 0; i < fan.size(); ++i) fan[i] = Vertex2d{float(i % 32), float(i / 32 % 32), 0, kWhite, 0, 0};
  canvas->begin();
  for (int i = 0; i < 5; ++i) canvas->drawImage(a.get(), Destination{0, i, 0});
  ASSERT_TRUE(canvas->drawFan(a.get(), fan.data(), std::uint32_t(fan.size()), nullptr, BlendMode::Alpha, kWhite));
  canvas->end();
  ASSERT_EQ(draws(), 4u);
  EXPECT_EQ(counting->draws[2].count, 10u);
  EXPECT_EQ(counting->draws[3].count, 29998u);
  ASSERT_EQ(counting->draws[3].vertices.size(), 3u * 29998);
  EXPECT_EQ(counting->draws[3].vertices.back().x, fan.back().x - 0.5f);
}

TEST_F(BatchingTest, SameSourceRectangleOnTexturesOfAnotherSize) {
  auto tall = makeTexture(*engine, 8, 16, texel);
  auto odd = makeTexture(*engine, 12, 6, texel);
  TestImage c(tall, 0, 0, 4, 4), d(odd, 0, 0, 4, 4);
  canvas->begin();
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  canvas->drawImage(&c, Destination{0, 4, 0});
  canvas->drawImage(&d, Destination{0, 8, 0});
  canvas->drawImage(a.get(), Destination{0, 12, 0});
  canvas->end();
  ASSERT_EQ(draws(), 4u);
  EXPECT_EQ(counting->draws[0].vertices[2].u, 1.0f);
  EXPECT_EQ(counting->draws[1].vertices[2].u, 0.5f);
  EXPECT_EQ(counting->draws[1].vertices[2].v, 0.25f);
  EXPECT_EQ(counting->draws[2].vertices[2].u, 4.0f / 12.0f);
  EXPECT_EQ(counting->draws[2].vertices[2].v, 4.0f / 6.0f);
  EXPECT_EQ(counting->draws[3].vertices[2].u, 1.0f);
  EXPECT_EQ(counting->draws[3].vertices[2].v, 1.0f);
}

TEST_F(BatchingTest, QuadsWhollyOffTheTargetAreLeftOutAndEdgeQuadsKept) {
  canvas->begin();
  canvas->clear(0xFF000000u);
  canvas->drawImage(a.get(), Destination{0, 0, 0});
  // Off each side by a pixel, far off, stretched and rotated out of sight: none is sent, and
  // a texture switch that is culled does not split the batch.
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 32, 5}));
  EXPECT_TRUE(canvas->drawImage(b.get(), Destination{0, -4, 5}));
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 5, 32}));
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 5, -4}));
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{1, -100000, 0, -50000, 30}));
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 40, 0}, Rect{0, 0, 4, 4}, Rotation{0.5f, 0, 0}, nullptr,
                                BlendMode::Alpha, kWhite));
  // Refused states are refused off the target too, and leave the batch as it was.
  EXPECT_FALSE(canvas->drawImage(a.get(), Destination{0, 40, 40}, nullptr, 7, kWhite));
  auto unshared = std::make_unique<OtherBasic>();
  EXPECT_FALSE(canvas->drawImage(a.get(), Destination{0, 40, 40}, unshared.get(), BlendMode::Alpha, kWhite));
  // Straddling an edge, rotated back into sight: drawn.
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 30, 10}));
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, -2, 20}));
  EXPECT_TRUE(canvas->drawImage(a.get(), Destination{0, 34, 26}, Rect{0, 0, 4, 4}, Rotation{3.14159265f, 0, 0},
                                nullptr, BlendMode::Alpha, kWhite));
  canvas->end();
  ASSERT_EQ(draws(), 1u);
  EXPECT_EQ(counting->draws[0].count, 8u);
  const auto px = readCanvas(*canvas);
  EXPECT_EQ(px[0], texel(0, 0));
  EXPECT_EQ(px[10 * 32 + 31], texel(1, 0));
  EXPECT_EQ(px[20 * 32 + 0], texel(2, 0));
  EXPECT_EQ(px[23 * 32 + 1], texel(3, 3));
  EXPECT_NE(px[22 * 32 + 31], 0xFF000000u);  // the half-turned quad covers 30..33 x 22..25
  EXPECT_NE(px[25 * 32 + 30], 0xFF000000u);
  EXPECT_EQ(px[5 * 32 + 31], 0xFF000000u);
  EXPECT_EQ(px[31 * 32 + 5], 0xFF000000u);
}
