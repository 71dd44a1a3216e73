#pragma once
// An engine that hands every call to another engine. Tests and benchmarks derive from it to
// watch or replace single operations (draw calls, shader compiles) of a real engine.
#include <memory>

#include "graphics/Engine.h"

namespace QlTest {

class ForwardingEngine : public QlGraphics::IEngine {
 public:
  using ITexture = QlGraphics::ITexture;
  using ITarget = QlGraphics::ITarget;
  using IVertexBuffer = QlGraphics::IVertexBuffer;
  using IIndexBuffer = QlGraphics::IIndexBuffer;
  using IShader = QlGraphics::IShader;
  using IEngineCaps = QlGraphics::IEngineCaps;

  explicit ForwardingEngine(std::shared_ptr<IEngine> e) : e_(std::move(e)) {}

  std::shared_ptr<ITexture> createTexture(std::uint16_t w, std::uint16_t h, int f) override { return e_->createTexture(w, h, f); }
  std::shared_ptr<ITarget> createTarget(std::uint16_t w, std::uint16_t h, int f) override { return e_->createTarget(w, h, f); }
  std::shared_ptr<IVertexBuffer> createVertexBuffer(int f, int s) override { return e_->createVertexBuffer(f, s); }
  std::shared_ptr<IIndexBuffer> createIndexBuffer(int f, int s) override { return e_->createIndexBuffer(f, s); }
  std::shared_ptr<IShader> createShader(const char* src, std::size_t n) override { return e_->createShader(src, n); }
  std::shared_ptr<IEngineCaps> getCaps() override { return e_->getCaps(); }
  std::uint16_t getWidth() const override { return e_->getWidth(); }
  std::uint16_t getHeight() const override { return e_->getHeight(); }
  bool setScreenMode(int m) override { return e_->setScreenMode(m); }
  int getScreenMode() const override { return e_->getScreenMode(); }
  bool setBlendMode(int m) override { return e_->setBlendMode(m); }
  int getBlendMode() const override { return e_->getBlendMode(); }
  bool setCullMode(int m) override { return e_->setCullMode(m); }
  int getCullMode() const override { return e_->getCullMode(); }
  bool setTarget(const std::shared_ptr<ITarget>& t) override { return e_->setTarget(t); }
  std::uint16_t getTargetWidth() const override { return e_->getTargetWidth(); }
  std::uint16_t getTargetHeight() const override { return e_->getTargetHeight(); }
  bool setVertexBuffer(const std::shared_ptr<IVertexBuffer>& b) override { return e_->setVertexBuffer(b); }
  std::shared_ptr<IVertexBuffer> getVertexBuffer() const override { return e_->getVertexBuffer(); }
  bool setIndexBuffer(const std::shared_ptr<IIndexBuffer>& b) override { return e_->setIndexBuffer(b); }
  std::shared_ptr<IIndexBuffer> getIndexBuffer() const override { return e_->getIndexBuffer(); }
  bool clear(QlGraphics::Color c) override { return e_->clear(c); }
  bool clearDepth(float z) override { return e_->clearDepth(z); }
  bool beginScene() override { return e_->beginScene(); }
  bool endScene() override { return e_->endScene(); }
  bool draw(int primitive, std::uint32_t count, std::uint32_t start) override {
    return e_->draw(primitive, count, start);
  }
  bool drawIndexed(int primitive, std::uint32_t count, std::uint32_t start) override {
    return e_->drawIndexed(primitive, count, start);
  }
  bool present() override { return e_->present(); }

 protected:
  std::shared_ptr<IEngine> e_;
};

}  // namespace QlTest
