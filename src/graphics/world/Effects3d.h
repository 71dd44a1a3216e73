#pragma once
// The 3D effects: the basic effect (half-Lambert lighting from a fixed light, times the
// part's diffuse colour and its texture) and the fog effect (the same, faded into a fog
// colour between a near and a far view depth).

#include "graphics/Engine.h"

#include <memory>

namespace QlGraphics {

// What one part of a model is drawn with.
struct DrawRecord3d {
    Matrix world, view, projection;
    Color diffuse = 0xFFFFFFFFu;
    std::shared_ptr<ITexture> texture;  // stage 0; empty for an untextured part
};

class IEffect3d : public std::enable_shared_from_this<IEffect3d> {
public:
    virtual ~IEffect3d() = default;
    // Compiled programs are cached per renderer under this number.
    virtual unsigned getType() const = 0;
    // Empty unless the engine's shader language is one the effect has a program for.
    virtual std::shared_ptr<IShader> createShader(IEngine& engine) = 0;
    virtual void apply(IShader& shader, const DrawRecord3d& record) = 0;
};

// Parameters "matWorld", "matView", "matProjection", "nTextured", "tBase", "dif".
class BasicEffect3d : public IEffect3d {
public:
    unsigned getType() const override { return 0; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override;
    void apply(IShader& shader, const DrawRecord3d& record) override;
    static const char* glslSource();
};

class IFogEffect3d : public IEffect3d {
public:
    virtual void setColor(Color color) = 0;
    virtual Color getColor() const = 0;
    virtual void setNear(float distance) = 0;
    virtual float getNear() const = 0;
    virtual void setFar(float distance) = 0;
    virtual float getFar() const = 0;
};

// As the basic effect, plus "fogColor", "fogNear", "fogFar": the lit colour at or nearer
// than the near depth, the fog colour at or beyond the far depth, linear between.
class FogEffect3d : public IFogEffect3d {
public:
    FogEffect3d(Color color, float nearDistance, float farDistance)
        : color_(color), near_(nearDistance), far_(farDistance)
    {
    }
    unsigned getType() const override { return 10; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override;
    void apply(IShader& shader, const DrawRecord3d& record) override;
    void setColor(Color color) override { color_ = color; }
    Color getColor() const override { return color_; }
    void setNear(float distance) override { near_ = distance; }
    float getNear() const override { return near_; }
    void setFar(float distance) override { far_ = distance; }
    float getFar() const override { return far_; }
    static const char* glslSource();

private:
    Color color_;
    float near_, far_;
};

std::shared_ptr<IEffect3d> getBasicEffect3d();
std::shared_ptr<IFogEffect3d> createFogEffect3d(Color color, float nearDistance, float farDistance);

}  // namespace QlGraphics
