#include "script/GraphicsLibrary.h"

#include "frame/Window.h"
#include "graphics/Context.h"
#include "graphics/GraphicsFileLoader.h"
#include "graphics/Images.h"
#include "graphics/font/Fonts.h"
#include "graphics/gl/GlEngine.h"
#include "graphics/video/Video.h"
#include "graphics/world/ModelData.h"
#include "platform/Video.h"
#include "script/Binding.h"
#include "script/Graphics3d.h"
#include "script/graphics/Args2d.h"
#include "script/graphics/Wrappers2d.h"

#include <cstdio>

namespace Quillorane {

using namespace QlGraphics;
using Bind::Arg;

namespace {

// The context and the screen canvas, when both exist (the screen functions answer 0 without).
bool graphicsUp(std::shared_ptr<Context>& context, std::shared_ptr<ICanvas>& screen) {
    context = getContext();
    screen = getScreenCanvas();
    return context && screen;
}

int screenWidth() {
    std::shared_ptr<Context> c;
    std::shared_ptr<ICanvas> s;
    return graphicsUp(c, s) ? c->getWidth() : 0;
}

int screenHeight() {
    std::shared_ptr<Context> c;
    std::shared_ptr<ICanvas> s;
    return graphicsUp(c, s) ? c->getHeight() : 0;
}

int screenMode() {
    std::shared_ptr<Context> c;
    std::shared_ptr<ICanvas> s;
    return graphicsUp(c, s) ? c->getScreenMode() : 0;
}

bool setScreenMode(int mode) {
    std::shared_ptr<Context> c;
    std::shared_ptr<ICanvas> s;
    if (mode != ScreenMode::Window && mode != ScreenMode::FullScreen) return false;
    return graphicsUp(c, s) && c->setScreenMode(mode);
}

bool changeScreenMode() {
    switch (screenMode()) {
    case ScreenMode::Window: return setScreenMode(ScreenMode::FullScreen);
    case ScreenMode::FullScreen: return setScreenMode(ScreenMode::Window);
    default: return false;
    }
}

int displaySize(bool width) {
    QlPlatform::initVideo();
    int w = 0, h = 0;
    QlPlatform::desktopSize(w, h);
    return width ? w : h;
}

void clearScreen(Arg color) {
    Color c = 0xFF000000u;
    if (!color.isNull() && !Gfx::readColor(color, c)) return;
    if (auto screen = getScreenCanvas()) screen->clear(c);
}

bool saveImageAs(const std::u16string& path, SuImage& image, int width, int height, Arg rect, bool sized) {
    auto img = image.getImage();
    if (!img) return false;
    Rect source{0, 0, img->getWidth(), img->getHeight()};
    if (!rect.isNull() && !Gfx::readRect(rect, source)) return false;
    return sized ? QlGraphics::saveImage(path, *img, source, width, height) : QlGraphics::saveImage(path, *img, source);
}

// getScreenCanvas_(): a new Canvas made through the table (so a script's replacement class is
// used), pointed at the screen canvas.
SQInteger getScreenCanvasRaw(HSQUIRRELVM v) {
    if (sq_gettop(v) != 1) return Bind::raise(v, u"wrong number of parameters");
    if (!Bind::constructByName(v, {u"Graphics", u"Canvas"}, 0)) return SQ_ERROR;
    if (auto* canvas = Bind::wrapperAt<ScCanvas>(v, -1)) canvas->setCanvas(getScreenCanvas());
    return 1;
}

bool registerClasses(HSQUIRRELVM v, Bind::Table& g) {
    g.add(Bind::Class<ScImage>(v, u"Image")
              .ctor("s", [](const std::u16string& path) { return ScImage::load(path, false); })
              .ctor("sb", [](const std::u16string& path, bool fresh) { return ScImage::load(path, fresh); })
              .method(u"getWidth", &ScImage::getWidth)
              .method(u"getHeight", &ScImage::getHeight));

    g.add(Bind::Class<ScFont>(v, u"Font")
              .ctor("si", [](const std::u16string& n, int size) { return ScFont::create(n, size, false, false); })
              .ctor("sibb", [](const std::u16string& n, int size, bool bold, bool italic) {
                  return ScFont::create(n, size, bold, italic);
              })
              .method(u"getName", &ScFont::getName)
              .method(u"getSize", &ScFont::getSize)
              .method(u"isBold", &ScFont::isBold)
              .method(u"isItalic", &ScFont::isItalic)
              .method(u"getWidth", &ScFont::getWidth)
              .method(u"getHeight", &ScFont::getHeight));
    using S = const std::u16string&;
    g.add(Bind::Class<ScFontG>(v, u"FontG")
              .ctor("si", [](S n, int size) { return ScFontG::create(n, size, false, false, 255, 0, 0.0f); })
              .ctor("sibb", [](S n, int size, bool b, bool i) { return ScFontG::create(n, size, b, i, 255, 0, 0.0f); })
              .ctor("siii", [](S n, int size, int s, int e) { return ScFontG::create(n, size, false, false, s, e, 0.0f); })
              .ctor("siiif", [](S n, int size, int s, int e, float r) {
                  return ScFontG::create(n, size, false, false, s, e, r);
              })
              .ctor("sibbii", [](S n, int size, bool b, bool i, int s, int e) {
                  return ScFontG::create(n, size, b, i, s, e, 0.0f);
              })
              .ctor("sibbiif", [](S n, int size, bool b, bool i, int s, int e, float r) {
                  return ScFontG::create(n, size, b, i, s, e, r);
              })
              .method(u"getName", &ScFontG::getName)
              .method(u"getSize", &ScFontG::getSize)
              .method(u"isBold", &ScFontG::isBold)
              .method(u"isItalic", &ScFontG::isItalic)
              .method(u"getWidth", &ScFontG::getWidth)
              .method(u"getHeight", &ScFontG::getHeight));

    g.add(Bind::Class<ScTransform2D>(v, u"Transform2D")
              .ctor()
              .method(u"set", &ScTransform2D::set)
              .method(u"reset", &ScTransform2D::reset)
              .method(u"translate", &ScTransform2D::translate)
              .method(u"scale", &ScTransform2D::scale)
              .method(u"rotate", &ScTransform2D::rotate)
              .method(u"transform", &ScTransform2D::transform));

    using C = ScCanvas&;
    using I = SuImage&;
    const Arg o{};  // an optional argument left out: its default
    g.add(Bind::Class<ScCanvas>(v, u"Canvas")
              .ctor("ii", [](int w, int h) { return ScCanvas::create(w, h); })
              .ctor("", [] { return new ScCanvas(); })
              .method(u"getWidth", &ScCanvas::getWidth)
              .method(u"getHeight", &ScCanvas::getHeight)
              .method(u"isReady", &ScCanvas::isReady)
              .method(u"begin", &ScCanvas::begin)
              .method(u"end", &ScCanvas::end)
              .overload(u"clear", [o](C c) { return c.clear(o); })
              .overload(u"clear", [](C c, Arg color) { return c.clear(color); })
              .overload(u"drawImage", [o](C c, I i, Arg d) { return c.drawImage(i, d, o, o, o, o, o); })
              .overload(u"drawImage", [o](C c, I i, Arg d, Arg s) { return c.drawImage(i, d, s, o, o, o, o); })
              .overload(u"drawImage", [o](C c, I i, Arg d, Arg s, Arg r) { return c.drawImage(i, d, s, r, o, o, o); })
              .overload(u"drawImage",
                        [o](C c, I i, Arg d, Arg s, Arg r, Arg k) { return c.drawImage(i, d, s, r, k, o, o); })
              .overload(u"drawImage",
                        [o](C c, I i, Arg d, Arg s, Arg r, Arg k, Arg b) { return c.drawImage(i, d, s, r, k, b, o); })
              .overload(u"drawImage", &ScCanvas::drawImage)
              .overload(u"drawImageEx", [o](C c, I i, Arg x) { return c.drawImageEx(i, x, o, o, o, o); })
              .overload(u"drawImageEx", [o](C c, I i, Arg x, Arg s) { return c.drawImageEx(i, x, s, o, o, o); })
              .overload(u"drawImageEx", [o](C c, I i, Arg x, Arg s, Arg k) { return c.drawImageEx(i, x, s, k, o, o); })
              .overload(u"drawImageEx",
                        [o](C c, I i, Arg x, Arg s, Arg k, Arg b) { return c.drawImageEx(i, x, s, k, b, o); })
              .overload(u"drawImageEx", &ScCanvas::drawImageEx)
              .overload(u"drawPanel", [o](C c, I i, Arg d) { return c.drawPanel(i, d, o, o, o, o, o); })
              .overload(u"drawPanel", [o](C c, I i, Arg d, Arg s) { return c.drawPanel(i, d, s, o, o, o, o); })
              .overload(u"drawPanel", [o](C c, I i, Arg d, Arg s, Arg r) { return c.drawPanel(i, d, s, r, o, o, o); })
              .overload(u"drawPanel",
                        [o](C c, I i, Arg d, Arg s, Arg r, Arg k) { return c.drawPanel(i, d, s, r, k, o, o); })
              .overload(u"drawPanel",
                        [o](C c, I i, Arg d, Arg s, Arg r, Arg k, Arg b) { return c.drawPanel(i, d, s, r, k, b, o); })
              .overload(u"drawPanel", &ScCanvas::drawPanel)
              .overload(u"drawText", [o](C c, SuFont& f, S t, Arg d) { return c.drawText(f, t, d, o, o, o); })
              .overload(u"drawText", [o](C c, SuFont& f, S t, Arg d, Arg k) { return c.drawText(f, t, d, k, o, o); })
              .overload(u"drawText",
                        [o](C c, SuFont& f, S t, Arg d, Arg k, Arg k2) { return c.drawText(f, t, d, k, k2, o); })
              .overload(u"drawText", &ScCanvas::drawText)
              .overload(u"drawLines", [o](C c, Arg x) { return c.drawLines(x, o, o); })
              .overload(u"drawLines", [o](C c, Arg x, Arg k) { return c.drawLines(x, k, o); })
              .overload(u"drawLines", &ScCanvas::drawLines)
              .overload(u"drawShape", [o](C c, Arg x) { return c.drawShape(x, o, o); })
              .overload(u"drawShape", [o](C c, Arg x, Arg k) { return c.drawShape(x, k, o); })
              .overload(u"drawShape", &ScCanvas::drawShape)
              .overload(u"drawCircle", [o](C c, Arg x, int p) { return c.drawCircle(x, p, o, o); })
              .overload(u"drawCircle", [o](C c, Arg x, int p, Arg k) { return c.drawCircle(x, p, k, o); })
              .overload(u"drawCircle", &ScCanvas::drawCircle)
              .overload(u"drawRectangle", [o](C c, Arg x, int p) { return c.drawRectangle(x, p, o, o); })
              .overload(u"drawRectangle", [o](C c, Arg x, int p, Arg k) { return c.drawRectangle(x, p, k, o); })
              .overload(u"drawRectangle", &ScCanvas::drawRectangle)
              .method(u"drawWorld", &ScCanvas::drawWorld)
              .method(u"drawImageT", &ScCanvas::drawImageT)
              .method(u"drawPanelT", &ScCanvas::drawPanelT)
              .method(u"drawLinesT", &ScCanvas::drawLinesT)
              .method(u"drawShapeT", &ScCanvas::drawShapeT));
    return g.ok();
}

void registerFunctions(Bind::Table& g) {
    const Arg o{};
    g.overload(u"clearScreen", [o] { clearScreen(o); })
        .overload(u"clearScreen", [](Arg color) { clearScreen(color); })
        .raw(u"getScreenCanvas_", &getScreenCanvasRaw)
        .func(u"getScreenWidth", &screenWidth)
        .func(u"getScreenHeight", &screenHeight)
        .func(u"getScreenMode", &screenMode)
        .func(u"setScreenMode", &setScreenMode)
        .func(u"changeScreenMode", &changeScreenMode)
        .func(u"getDisplayWidth", [] { return displaySize(true); })
        .func(u"getDisplayHeight", [] { return displaySize(false); })
        .overload(u"saveImage",
                  [o](const std::u16string& path, SuImage& image) { return saveImageAs(path, image, 0, 0, o, false); })
        .overload(u"saveImage", [o](const std::u16string& path, SuImage& image, int w, int h) {
            return saveImageAs(path, image, w, h, o, true);
        })
        .overload(u"saveImage", [](const std::u16string& path, SuImage& image, int w, int h, Arg rect) {
            return saveImageAs(path, image, w, h, rect, true);
        })
        .func(u"registerFont", [](const std::u16string& path) { return QlGraphics::registerFont(path); });
}

Bind::Table effect2d(HSQUIRRELVM v) {
    Bind::Table fx(v);
    fx.add(Bind::Class<ScNega>(v, u"Nega").ctor());
    fx.add(Bind::Class<ScGray>(v, u"Gray").ctor());
    fx.add(Bind::Class<ScAlphamask>(v, u"Alphamask")
               .ctor("x", [](Bound& mask) { return ScAlphamask::create(mask, 0.5f); })
               .ctor("xf", [](Bound& mask, float rate) { return ScAlphamask::create(mask, rate); })
               .method(u"setBlendRate", &ScAlphamask::setBlendRate)
               .method(u"getBlendRate", &ScAlphamask::getBlendRate));
    return fx;
}

}  // namespace

GraphicsLibrary::GraphicsLibrary(std::shared_ptr<QlIO::IFileManager> files, std::shared_ptr<QlFrame::IWindow> window,
                                 std::string screenshot)
    : files_(std::move(files)), window_(std::move(window)), screenshot_(std::move(screenshot)) {}

GraphicsLibrary::~GraphicsLibrary() { shutDown(); }

bool GraphicsLibrary::startGraphics() {
    auto native = window_ ? window_->getNativeWindow() : nullptr;
    if (!native) {
        std::fprintf(stderr, "quillorane: no window to draw in; Graphics draws nothing\n");
        return false;
    }
    auto fileLoader = std::make_shared<GraphicsFileLoader>(files_);
    auto engine = Gl::createEngine(native, static_cast<std::uint16_t>(native->gameWidth()),
                                   static_cast<std::uint16_t>(native->gameHeight()));
    auto context = engine ? Context::create(engine) : nullptr;
    if (!context) {
        std::fprintf(stderr, "quillorane: the graphics context cannot be made; Graphics draws nothing\n");
        return false;
    }
    context->setFileLoader(fileLoader);
    context->setImageLoader(std::make_shared<ImageLoader>());
    context->setVideoLoader(std::make_shared<VideoLoader>());
    context->setModelLoader(std::make_shared<ModelLoader>());
    setContext(context);
    screen_ = createCanvas(engine, engine->getWidth(), engine->getHeight());
    if (!screen_) {
        std::fprintf(stderr, "quillorane: the screen canvas cannot be made; Graphics draws nothing\n");
        setContext(nullptr);
        return false;
    }
    setScreenCanvas(screen_);
    started_ = true;
    return true;
}

bool GraphicsLibrary::onLoad(HSQUIRRELVM v) {
    const bool up = startGraphics();
    Bind::Table g(v);
    bool ok = registerClasses(v, g);
    registerFunctions(g);
    g.add(u"Effect2D", effect2d(v));
    ok = registerGraphics3d(v, g) && ok;
    g.enumeration(u"Blend", {{u"NONE", 0}, {u"NORMAL", 1}, {u"ADD", 2}, {u"SUB", 3}})
        .enumeration(u"Screen", {{u"NONE", 0}, {u"WINDOW", 1}, {u"FULL", 2}})
        .enumeration(u"Paint", {{u"NONE", 0}, {u"LINE", 1}, {u"FILL", 2}});
    ok = g.store(u"Graphics") && ok;
    return ok && runPrelude(v, "graphics") && up;
}

void GraphicsLibrary::saveScreenshot() {
    if (screenshot_.empty()) return;
    if (!screen_) {
        std::fprintf(stderr, "quillorane: no screen to save as %s\n", screenshot_.c_str());
        return;
    }
    if (!saveCanvasPng(*screen_, screenshot_))
        std::fprintf(stderr, "quillorane: the screen cannot be saved as %s\n", screenshot_.c_str());
}

void GraphicsLibrary::onUnload(HSQUIRRELVM) { shutDown(); }

void GraphicsLibrary::shutDown() {
    if (!started_) return;
    started_ = false;
    saveScreenshot();
    screen_.reset();
    clearImageTable();
    setScreenCanvas(nullptr);
    setContext(nullptr);
}

void GraphicsLibrary::onBeginFrame(HSQUIRRELVM) {
    auto context = getContext();
    if (context && getScreenCanvas()) context->beginFrame();
}

void GraphicsLibrary::onEndFrame(HSQUIRRELVM) {
    auto context = getContext();
    auto screen = getScreenCanvas();
    if (context && screen) context->endFrame(screen->getTexture());
}

bool saveCanvasPng(ICanvas& canvas, const std::string& path) {
    if (canvas.isDrawing()) canvas.end();
    auto texture = canvas.getTexture();
    auto buffer = texture ? texture->lock() : nullptr;
    if (!buffer) return false;
    const auto bytes = encodeImage(buffer->getBits(), buffer->getWidth(), buffer->getHeight(), buffer->getPitch(),
                                   ImageFileType::Png);
    texture->unlock();
    if (bytes.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace Quillorane
