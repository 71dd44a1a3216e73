#pragma once
// An engine that forwards to another and adds up the time spent in its draw calls, so a
// benchmark can tell the runtime's own CPU time from the driver's.

#include "graphics/Engine.h"

#include <chrono>
#include <memory>

namespace QlBench {

class TimingEngine : public QlGraphics::IEngine {
public:
    explicit TimingEngine(std::shared_ptr<QlGraphics::IEngine> e) : e_(std::move(e)) {}
    double drawSeconds = 0;

    using Tex = std::shared_ptr<QlGraphics::ITexture>;
    Tex createTexture(std::uint16_t w, std::uint16_t h, int f) override { return e_->createTexture(w, h, f); }
    std::shared_ptr<QlGraphics::ITarget> createTarget(std::uint16_t w, std::uint16_t h, int f) override
    {
        return e_->createTarget(w, h, f);
    }
    std::shared_ptr<QlGraphics::IVertexBuffer> createVertexBuffer(int f, int s) override
    {
        return e_->createVertexBuffer(f, s);
    }
    std::shared_ptr<QlGraphics::IIndexBuffer> createIndexBuffer(int f, int s) override
    {
        return e_->createIndexBuffer(f, s);
    }
    std::shared_ptr<QlGraphics::IShader> createShader(const char* s, std::size_t n) override
    {
        return e_->createShader(s, n);
    }
    std::shared_ptr<QlGraphics::IEngineCaps> getCaps() override { return e_->getCaps(); }
    std::uint16_t getWidth() const override { return e_->getWidth(); }
    std::uint16_t getHeight() const override { return e_->getHeight(); }
    bool setScreenMode(int m) override { return e_->setScreenMode(m); }
    int getScreenMode() const override { return e_->getScreenMode(); }
    bool setBlendMode(int m) override { return e_->setBlendMode(m); }
    int getBlendMode() const override { return e_->getBlendMode(); }
    bool setCullMode(int m) override { return e_->setCullMode(m); }
    int getCullMode() const override { return e_->getCullMode(); }
    bool setTarget(const std::shared_ptr<QlGraphics::ITarget>& t) override { return e_->setTarget(t); }
    std::uint16_t getTargetWidth() const override { return e_->getTargetWidth(); }
    std::uint16_t getTargetHeight() const override { return e_->getTargetHeight(); }
    bool setVertexBuffer(const std::shared_ptr<QlGraphics::IVertexBuffer>& b) override { return e_->setVertexBuffer(b); }
    std::shared_ptr<QlGraphics::IVertexBuffer> getVertexBuffer() const override { return e_->getVertexBuffer(); }
    bool setIndexBuffer(const std::shared_ptr<QlGraphics::IIndexBuffer>& b) override { return e_->setIndexBuffer(b); }
    std::shared_ptr<QlGraphics::IIndexBuffer> getIndexBuffer() const override { return e_->getIndexBuffer(); }
    bool clear(QlGraphics::Color c) override { return e_->clear(c); }
    bool clearDepth(float z) override { return e_->clearDepth(z); }
    bool beginScene() override { return e_->beginScene(); }
    bool endScene() override { return e_->endScene(); }
    bool draw(int p, std::uint32_t c, std::uint32_t s) override { return e_->draw(p, c, s); }
    bool drawIndexed(int p, std::uint32_t c, std::uint32_t s) override
    {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = e_->drawIndexed(p, c, s);
        drawSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        return ok;
    }
    bool present() override { return e_->present(); }

private:
    std::shared_ptr<QlGraphics::IEngine> e_;
};

}  // namespace QlBench
