#pragma once
// The 2D colour effects: grey scale, negative and alpha map.

#include "graphics/Effect.h"

#include <memory>

namespace QlGraphics {

// Luminance y = 0.298912 r + 0.586611 g + 0.114478 b of the drawn colour; alpha kept.
class GrayEffect2d : public IEffect2d {
public:
    static constexpr unsigned kType = 1;
    unsigned getType() const override { return kType; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override;
    void apply(IEngine& engine, IShader& shader, ITexture* texture) override;
};

// (1 - r, 1 - g, 1 - b) of the drawn colour; alpha kept.
class NegaEffect2d : public IEffect2d {
public:
    static constexpr unsigned kType = 2;
    unsigned getType() const override { return kType; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override;
    void apply(IEngine& engine, IShader& shader, ITexture* texture) override;
};

// Multiplies the drawn alpha by clamp(mask red + 2 × power − 1, 0, 1), the mask sampled at
// the drawn image's own texture coordinates: power 0.5 applies the mask as it is, lower
// powers erase more, higher ones keep more. Untextured draws give transparent black.
class AlphamapEffect2d : public IEffect2d {
public:
    static constexpr unsigned kType = 3;
    AlphamapEffect2d(std::shared_ptr<ITexture> mask, float power) : mask_(std::move(mask)), power_(power) {}
    unsigned getType() const override { return kType; }
    std::shared_ptr<IShader> createShader(IEngine& engine) override;
    void apply(IEngine& engine, IShader& shader, ITexture* texture) override;
    const std::shared_ptr<ITexture>& getMask() const { return mask_; }
    float getPower() const { return power_; }

private:
    std::shared_ptr<ITexture> mask_;
    float power_;
};

std::shared_ptr<IEffect2d> createGrayEffect();
std::shared_ptr<IEffect2d> createNegaEffect();
// Empty for an empty mask.
std::shared_ptr<IEffect2d> createAlphamapEffect(std::shared_ptr<ITexture> mask, float power);

} // namespace QlGraphics
