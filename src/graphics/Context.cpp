#include "graphics/Context.h"

#include <cstring>

#include "graphics/Effect.h"

namespace QlGraphics {

std::shared_ptr<Context> Context::create(std::shared_ptr<IEngine> engine) {
  if (!engine) return nullptr;
  auto caps = engine->getCaps();
  if (!caps || caps->getShaderLanguage() != u"GLSL") return nullptr;
  std::shared_ptr<Context> c(new Context());
  c->engine_ = std::move(engine);
  const char* src = screenShaderGlslSource();
  c->screenShader_ = c->engine_->createShader(src, std::strlen(src));
  c->vertices_ = c->engine_->createVertexBuffer(2, Storage::System);
  if (!c->screenShader_ || !c->vertices_) return nullptr;
  return c;
}

Context::~Context() {
  walk([](ICallback& cb) { cb.onRelease(); });
}

bool Context::addCallback(const std::shared_ptr<ICallback>& callback) {
  if (!callback) return false;
  callbacks_.push_back(callback);
  return true;
}

bool Context::addLateCallback(const std::shared_ptr<ICallback>& callback) {
  if (!callback) return false;
  lateCallbacks_.push_back(callback);
  return true;
}

template <class F>
void Context::walk(F&& call) {
  for (CallbackList* list : {&callbacks_, &lateCallbacks_}) {
    for (auto it = list->begin(); it != list->end();) {
      std::shared_ptr<ICallback> cb = it->lock();
      if (!cb || cb->isReleased()) {
        it = list->erase(it);
        continue;
      }
      call(*cb);
      ++it;
    }
  }
}

void Context::beginFrame() {
  walk([](ICallback& cb) { cb.onBeginFrame(); });
  engine_->beginScene();
}

void Context::endFrame(const std::shared_ptr<ITexture>& screenTexture) {
  walk([](ICallback& cb) { cb.onEndFrame(); });
  if (screenTexture) {
    const float w = engine_->getWidth(), h = engine_->getHeight();
    const float u = screenTexture->toU(screenTexture->getWidth()), v = screenTexture->toV(screenTexture->getHeight());
    const Vertex2d quad[4] = {
        {-0.5f, -0.5f, 0, kWhite, 0, 0},
        {w - 0.5f, -0.5f, 0, kWhite, u, 0},
        {w - 0.5f, h - 0.5f, 0, kWhite, u, v},
        {-0.5f, h - 0.5f, 0, kWhite, 0, v},
    };
    vertices_->clear();
    vertices_->append(quad, sizeof quad);
    engine_->setTarget(nullptr);
    screenShader_->setTexture(u"texBase", screenTexture);
    screenShader_->setInt(u"nTargetWidth", engine_->getWidth());
    screenShader_->setInt(u"nTargetHeight", engine_->getHeight());
    engine_->setBlendMode(BlendMode::Alpha);
    engine_->setVertexBuffer(vertices_);
    if (screenShader_->begin()) {
      engine_->draw(Primitive::TriangleFan, 2, 0);
      screenShader_->end();
    }
  }
  engine_->endScene();
  engine_->present();
}

namespace {
std::shared_ptr<Context>& contextSlot() {
  static std::shared_ptr<Context> slot;
  return slot;
}
std::shared_ptr<ICanvas>& screenSlot() {
  static std::shared_ptr<ICanvas> slot;
  return slot;
}
}  // namespace

std::shared_ptr<Context> getContext() { return contextSlot(); }
void setContext(std::shared_ptr<Context> context) { contextSlot() = std::move(context); }
std::shared_ptr<ICanvas> getScreenCanvas() { return screenSlot(); }
void setScreenCanvas(std::shared_ptr<ICanvas> canvas) { screenSlot() = std::move(canvas); }

}  // namespace QlGraphics
