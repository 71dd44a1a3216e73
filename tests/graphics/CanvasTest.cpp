#include "GlFixture.h"
#include "graphics/Context.h"

using namespace QlTest;

namespace {

constexpr Color kBlack = 0xFF000000u;
constexpr float kPi = 3.14159265358979f;

struct CanvasTest : GlFixture {
  std::shared_ptr<ICanvas> canvas;
  std::vector<Color> px;
  int w = 32, h = 24;

  void SetUp() override {
    GlFixture::SetUp();
    if (HasFatalFailure()) return;
    canvas = createCanvas(engine, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    ASSERT_TRUE(canvas);
    canvas->clear(kBlack);
  }
  void read() { px = readCanvas(*canvas); ASSERT_EQ(px.size(), static_cast<std::size_t>(w * h)); }
  Color at(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }

  // Every pixel inside [x0, x0 + cols) x [y0, y0 + rows) equals expect(col, row); every pixel
  // outside is still black.
  template <class F>
  void expectBlock(int x0, int y0, int cols, int rows, F expect) {
    read();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool inside = x >= x0 && x < x0 + cols && y >= y0 && y < y0 + rows;
        const Color want = inside ? expect(x - x0, y - y0) : kBlack;
        ASSERT_EQ(at(x, y), want) << "pixel " << x << "," << y;
      }
  }
};

}  // namespace

TEST_F(CanvasTest, ImageAtItsOwnSizeCoversExactlyItsPixelsWithItsOwnTexels) {
  auto t = makeTexture(*engine, 5, 4, texel);
  TestImage img(t);
  for (int blend : {BlendMode::Opaque, BlendMode::Alpha}) {
    canvas->clear(kBlack);
    ASSERT_TRUE(canvas->begin());
    EXPECT_TRUE(canvas->drawImage(&img, Destination{0, 3, 7}, nullptr, blend, kWhite));
    ASSERT_TRUE(canvas->end());
    expectBlock(3, 7, 5, 4, texel);
  }
}

TEST_F(CanvasTest, SubRectangleMirroredAndAtlasSources) {
  auto t = makeTexture(*engine, 8, 8, texel);
  TestImage whole(t);
  canvas->begin();
  canvas->drawImage(&whole, Destination{0, 2, 3}, Rect{1, 2, 4, 5}, kWhite);
  canvas->end();
  expectBlock(2, 3, 3, 3, [](int x, int y) { return texel(x + 1, y + 2); });

  canvas->clear(kBlack);
  canvas->begin();
  canvas->drawImage(&whole, Destination{0, 10, 1}, Rect{6, 0, 0, 4}, kWhite);  // mirrored left-right
  canvas->end();
  expectBlock(10, 1, 6, 4, [](int x, int y) { return texel(5 - x, y); });

  canvas->clear(kBlack);
  canvas->begin();
  canvas->drawImage(&whole, Destination{0, 0, 0}, Rect{0, 3, 2, 0}, kWhite);  // mirrored upside down
  canvas->end();
  expectBlock(0, 0, 2, 3, [](int x, int y) { return texel(x, 2 - y); });

  // An image that is a region of a larger texture draws its own texels only.
  TestImage atlas(t, 4, 2, 3, 5);
  canvas->clear(kBlack);
  canvas->begin();
  canvas->drawImage(&atlas, Destination{0, 20, 10}, kWhite);
  canvas->drawImage(&atlas, Destination{0, 25, 10}, Rect{1, 1, 3, 2}, kWhite);
  canvas->end();
  read();
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(at(20 + x, 10 + y), texel(4 + x, 2 + y));
  EXPECT_EQ(at(25, 10), texel(5, 3));
  EXPECT_EQ(at(26, 10), texel(6, 3));
  EXPECT_EQ(at(27, 10), kBlack);
  EXPECT_EQ(at(25, 11), kBlack);
}

TEST_F(CanvasTest, StretchedDestinations) {
  // 2 x 2 blocks of one colour: halving samples between two equal texels, doubling a solid
  // image keeps its colour; the covered area is exactly the destination.
  auto blocks = makeTexture(*engine, 8, 4, [](int x, int y) { return texel(x / 2, y / 2); });
  TestImage img(blocks);
  canvas->begin();
  canvas->drawImage(&img, Destination{1, 4, 4, 8, 6}, kWhite);
  canvas->end();
  expectBlock(4, 4, 4, 2, [](int x, int y) { return texel(x, y); });

  auto solid = makeTexture(*engine, 3, 3, [](int, int) { return 0xFF20C040u; });
  TestImage s(solid);
  canvas->clear(kBlack);
  canvas->begin();
  canvas->drawImage(&s, Destination{1, 5, 2, 15, 8}, kWhite);
  canvas->end();
  expectBlock(5, 2, 10, 6, [](int, int) { return 0xFF20C040u; });
}

TEST_F(CanvasTest, RotationAboutAPivot) {
  auto t = makeTexture(*engine, 4, 2, texel);
  TestImage img(t);
  // A quarter turn clockwise about the top-left corner: texel (tx, ty) lands on
  // (x - 1 - ty, y + tx).
  canvas->begin();
  canvas->drawImage(&img, Destination{0, 10, 10}, Rect{0, 0, 4, 2}, Rotation{kPi / 2, 0, 0}, nullptr,
                    BlendMode::Alpha, kWhite);
  canvas->end();
  expectBlock(8, 10, 2, 4, [](int x, int y) { return texel(y, 1 - x); });

  // A half turn about the centre stays in place, upside down.
  canvas->clear(kBlack);
  canvas->begin();
  canvas->drawImage(&img, Destination{0, 3, 3}, Rect{0, 0, 4, 2}, Rotation{kPi, 2, 1}, nullptr, BlendMode::Alpha,
                    kWhite);
  canvas->end();
  expectBlock(3, 3, 4, 2, [](int x, int y) { return texel(3 - x, 1 - y); });
}

TEST_F(CanvasTest, ColourModulationAndVertexColours) {
  EXPECT_EQ(modulate(0xFFC86432u, 0x80808080u), 0x80643219u);
  EXPECT_EQ(modulate(0x12345678u, kWhite), 0x12345678u);
  auto t = makeTexture(*engine, 2, 2, [](int x, int y) { return x == 0 && y == 0 ? 0xFFC86432u : kWhite; });
  TestImage img(t);
  canvas->begin();
  canvas->drawImage(&img, Destination{0, 0, 0}, nullptr, BlendMode::Opaque, 0xFF80FF40u);
  canvas->end();
  read();
  // Texture sample times vertex colour, rounded to 8 bits.
  EXPECT_TRUE(near(at(0, 0), 0xFF64640Du, 0)) << std::hex << at(0, 0);
  EXPECT_TRUE(near(at(1, 1), 0xFF80FF40u, 0)) << std::hex << at(1, 1);
}

TEST_F(CanvasTest, TheFourBlendEquations) {
  const Color dst = 0xFF4080C0u;
  const Color src = 0x80FF2060u;  // alpha 128
  const double a = 128.0 / 255.0;
  auto mix = [&](int mode, int shift) {
    const double s = channel(src, shift), d = channel(dst, shift);
    double r = 0;
    switch (mode) {
      case 0: r = s; break;
      case 1: r = s * a + d * (1 - a); break;
      case 2: r = s * a + d; break;
      default: r = d - s * a; break;
    }
    return static_cast<Color>(std::lround(std::clamp(r, 0.0, 255.0)));
  };
  const Point2d square[4] = {{2, 2, 0, src}, {12, 2, 0, src}, {12, 12, 0, src}, {2, 12, 0, src}};
  for (int mode = 0; mode < 4; ++mode) {
    canvas->clear(dst);
    canvas->begin();
    ASSERT_TRUE(canvas->drawShape(square, 4, nullptr, mode, kWhite));
    canvas->end();
    read();
    const Color want = mix(mode, 24) << 24 | mix(mode, 16) << 16 | mix(mode, 8) << 8 | mix(mode, 0);
    EXPECT_TRUE(near(at(5, 5), want, 1)) << "blend " << mode;
    EXPECT_EQ(at(1, 1), dst);
  }
}

TEST_F(CanvasTest, FilledShapesPutTheirPointsOnPixelCentres) {
  // Edges through pixel centres keep the pixels on their left and top sides: the triangle
  // (0, 0), (10, 0), (0, 10) fills the 55 pixels with x + y < 10 (45 if it were moved half a
  // pixel onto pixel corners).
  const Color c = 0xFFFFFF00u;
  const Point2d tri[3] = {{0, 0, 0, c}, {10, 0, 0, c}, {0, 10, 0, c}};
  canvas->begin();
  ASSERT_TRUE(canvas->drawShape(tri, 3));
  canvas->end();
  read();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) EXPECT_EQ(at(x, y), x + y < 10 ? c : kBlack) << x << "," << y;
}

TEST_F(CanvasTest, TriangleFanCoversItsPixelsAndLineStripsDrawSegments) {
  const Color c = 0xFF10E0A0u;
  const Point2d square[4] = {{2, 3, 0, c}, {12, 3, 0, c}, {12, 9, 0, c}, {2, 9, 0, c}};
  canvas->begin();
  ASSERT_TRUE(canvas->drawShape(square, 4));
  canvas->end();
  expectBlock(2, 3, 10, 6, [&](int, int) { return c; });

  canvas->clear(kBlack);
  const Point2d strip[3] = {{2, 2, 0, c}, {20, 2, 0, c}, {20, 15, 0, c}};
  canvas->begin();
  ASSERT_TRUE(canvas->drawLines(strip, 3));
  canvas->end();
  read();
  int lit = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (at(x, y) != kBlack) {
        ++lit;
        EXPECT_EQ(at(x, y), c);
        EXPECT_TRUE((y == 2 && x >= 2 && x <= 20) || (x == 20 && y >= 2 && y <= 15)) << x << "," << y;
      }
  // Both segments are there, one pixel wide, through the pixels their points name; each
  // segment leaves out its last pixel, which the next segment starts on.
  EXPECT_EQ(lit, 18 + 13);
  EXPECT_EQ(at(2, 2), c);
  EXPECT_EQ(at(20, 2), c);
  EXPECT_EQ(at(20, 15), kBlack);
  for (int x = 3; x < 20; ++x) EXPECT_EQ(at(x, 2), c);
  for (int y = 3; y < 15; ++y) EXPECT_EQ(at(20, y), c);
}

TEST_F(CanvasTest, StatesAndSelfDrawing) {
  auto t = makeTexture(*engine, 2, 2, texel);
  TestImage img(t);
  EXPECT_FALSE(canvas->isDrawing());
  EXPECT_FALSE(canvas->end());
  EXPECT_FALSE(canvas->drawImage(&img, Destination{0, 0, 0}));  // outside a pass
  EXPECT_TRUE(canvas->getTexture());
  ASSERT_TRUE(canvas->begin());
  EXPECT_FALSE(canvas->begin());
  EXPECT_TRUE(canvas->isDrawing());
  EXPECT_FALSE(canvas->getTexture());
  Region r;
  EXPECT_FALSE(canvas->getRegion(r));
  EXPECT_FALSE(canvas->drawImage(canvas.get(), Destination{0, 0, 0}));  // onto itself
  EXPECT_FALSE(canvas->drawImage(nullptr, Destination{0, 0, 0}));
  const Point2d one[1] = {{1, 1, 0, kWhite}};
  EXPECT_FALSE(canvas->drawLines(one, 1));
  EXPECT_FALSE(canvas->drawShape(one, 1));
  EXPECT_FALSE(canvas->drawText(nullptr, u"x", Destination{}, nullptr, 1, kWhite, kBlack));
  EXPECT_TRUE(canvas->end());
  read();
  for (Color c : px) ASSERT_EQ(c, kBlack);
  EXPECT_FALSE(createCanvas(engine, 0, 10));
  EXPECT_FALSE(createCanvas(nullptr, 10, 10));

  // Another canvas can be drawn like any image once it is idle.
  auto other = createCanvas(engine, 3, 2);
  other->clear(0xFF336699u);
  canvas->clear(kBlack);
  canvas->begin();
  EXPECT_TRUE(canvas->drawImage(other.get(), Destination{0, 1, 1}));
  canvas->end();
  expectBlock(1, 1, 3, 2, [](int, int) { return 0xFF336699u; });
}

TEST_F(CanvasTest, TextLayersAdvanceAndLineFeeds) {
  auto glyphs = makeTexture(*engine, 4, 2, [](int x, int) { return x < 2 ? 0xFFFFFFFFu : 0xFF808080u; });
  struct Font : IFont {
    ITexture* t;
    int getSize() const override { return 3; }
    int getHeight() const override { return 2; }
    int measureWidth(std::u16string_view s) override { return static_cast<int>(s.size()) * 3; }
    bool getGlyph(char16_t ch, Glyph& g) override {
      if (ch == u'\n') {
        g.lineFeed = true;
        return true;
      }
      g.layers[0] = Region{t, 0, 0, 2, 2};
      g.layers[1] = Region{t, 2, 0, 1, 1};
      g.advance = 3;
      return true;
    }
  } font;
  font.t = glyphs.get();
  canvas->begin();
  ASSERT_TRUE(canvas->drawText(&font, u"ab\nc", Destination{0, 1, 1}, nullptr, BlendMode::Opaque, 0xFFFF0000u,
                               0xFF0000FFu));
  canvas->end();
  read();
  // Layer 0 (white) in the first colour, layer 1 (grey, drawn over it) in the second colour.
  EXPECT_EQ(at(2, 1), 0xFFFF0000u);
  EXPECT_EQ(at(1, 2), 0xFFFF0000u);
  EXPECT_TRUE(near(at(1, 1), 0xFF000080u, 1));
  EXPECT_TRUE(near(at(4, 1), 0xFF000080u, 1));  // second glyph, 3 pixels on
  EXPECT_EQ(at(3, 1), kBlack);
  EXPECT_TRUE(near(at(1, 4), 0xFF000080u, 1));  // next line, 3 pixels down
  EXPECT_EQ(at(7, 1), kBlack);
  // A refused state fails the whole text and draws none of it.
  canvas->begin();
  EXPECT_FALSE(canvas->drawText(&font, u"ab", Destination{0, 8, 8}, nullptr, 9, 0xFFFF0000u, 0xFF0000FFu));
  canvas->end();
  read();
  EXPECT_EQ(at(9, 9), kBlack);
}

TEST_F(CanvasTest, EndFrameCopiesTheScreenCanvasToTheBackBuffer) {
  auto context = Context::create(engine);
  ASSERT_TRUE(context);
  auto screen = createCanvas(engine, engine->getWidth(), engine->getHeight());
  auto t = makeTexture(*engine, 6, 5, texel);
  TestImage img(t);
  context->beginFrame();
  screen->clear(0xFF202020u);
  screen->begin();
  screen->drawImage(&img, Destination{0, 50, 40});
  screen->end();
  context->endFrame(screen->getTexture());
  const auto back = engine->readBackBuffer();
  const auto canvasPx = readCanvas(*screen);
  ASSERT_EQ(back.size(), canvasPx.size());
  for (std::size_t i = 0; i < back.size(); ++i) ASSERT_EQ(back[i], canvasPx[i]) << i;
  EXPECT_EQ(back[41 * 64 + 51], texel(1, 1));

  // A screen canvas still drawing has no texture: the copy is skipped, the frame presented.
  context->beginFrame();
  screen->clear(0xFF00FF00u);
  screen->begin();
  context->endFrame(screen->getTexture());
  EXPECT_EQ(engine->readBackBuffer()[0], 0xFF202020u);
  screen->end();
}

TEST_F(CanvasTest, FrameCallbacksRunInOrderAndDropReleasedOwners) {
  auto context = Context::create(engine);
  std::vector<std::string> log;
  struct Cb : ICallback {
    std::vector<std::string>* log;
    std::string name;
    bool released = false;
    bool isReleased() const override { return released; }
    void onBeginFrame() override { log->push_back(name + "b"); }
    void onEndFrame() override { log->push_back(name + "e"); }
    void onRelease() override { log->push_back(name + "r"); }
  };
  auto late = std::make_shared<Cb>();
  late->log = &log;
  late->name = "L";
  auto first = std::make_shared<Cb>();
  first->log = &log;
  first->name = "F";
  auto gone = std::make_shared<Cb>();
  gone->log = &log;
  gone->name = "G";
  EXPECT_TRUE(context->addLateCallback(late));
  EXPECT_TRUE(context->addCallback(first));
  EXPECT_TRUE(context->addCallback(gone));
  EXPECT_FALSE(context->addCallback(nullptr));
  gone.reset();
  context->beginFrame();
  first->released = true;
  context->endFrame(nullptr);
  context.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"Fb", "Lb", "Le", "Lr"}));
}
