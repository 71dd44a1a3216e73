#pragma once
// Models (device geometry plus per-part materials), actors that place a model in the world,
// worlds that hold actors weakly, and the renderer that draws them onto a canvas's target.

#include "graphics/Canvas.h"
#include "graphics/Engine.h"
#include "graphics/world/Effects3d.h"
#include "graphics/world/ModelData.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace QlGraphics {

class IFileData;

// One drawn range of a model's index buffer with its material.
struct ModelPart {
    int primitive = Primitive::TriangleList;
    std::uint32_t count = 0;  // primitives
    std::uint32_t start = 0;  // first index
    std::shared_ptr<IEffect3d> effect;  // empty: the basic effect
    Color diffuse = 0, ambient = 0, specular = 0, emissive = 0;
    float power = 0;
    std::array<std::shared_ptr<ITexture>, 4> textures;
};

// Eight corners of a box, in model space.
using BoundingBox = std::array<Vector3, 8>;

class IModel {
public:
    virtual ~IModel() = default;
    virtual std::shared_ptr<IVertexBuffer> getVertexBuffer() const = 0;
    virtual std::shared_ptr<IIndexBuffer> getIndexBuffer() const = 0;
    virtual std::uint32_t getPartCount() const = 0;
    virtual void addPart(const ModelPart& part) = 0;
    virtual bool removePart(std::uint32_t index) = 0;
    virtual void clearParts() = 0;
    virtual bool setPart(std::uint32_t index, const ModelPart& part) = 0;
    virtual bool getPart(std::uint32_t index, ModelPart& part) const = 0;
    virtual bool setEffect(std::uint32_t index, std::shared_ptr<IEffect3d> effect) = 0;
    virtual std::shared_ptr<IEffect3d> getEffect(std::uint32_t index) const = 0;
    virtual bool setDiffuse(std::uint32_t index, Color color) = 0;
    virtual bool getDiffuse(std::uint32_t index, Color& color) const = 0;
    virtual bool setAmbient(std::uint32_t index, Color color) = 0;
    virtual bool getAmbient(std::uint32_t index, Color& color) const = 0;
    virtual bool setSpecular(std::uint32_t index, Color color) = 0;
    virtual bool getSpecular(std::uint32_t index, Color& color) const = 0;
    virtual bool setEmissive(std::uint32_t index, Color color) = 0;
    virtual bool getEmissive(std::uint32_t index, Color& color) const = 0;
    virtual bool setPower(std::uint32_t index, float power) = 0;
    virtual bool getPower(std::uint32_t index, float& power) const = 0;
    virtual bool setTexture(std::uint32_t index, std::uint32_t stage, std::shared_ptr<ITexture> texture) = 0;
    virtual std::shared_ptr<ITexture> getTexture(std::uint32_t index, std::uint32_t stage) const = 0;
    virtual void setBoundingBox(const BoundingBox& box) = 0;
    virtual const BoundingBox& getBoundingBox() const = 0;
    // The box becomes the corners of the axis-aligned box around all vertex positions.
    virtual void computeBounds() = 0;
    // Shares the geometry buffers, copies the parts and the box.
    virtual std::shared_ptr<IModel> clone() const = 0;
};

class Model : public IModel {
public:
    Model(std::shared_ptr<IVertexBuffer> vertices, std::shared_ptr<IIndexBuffer> indices)
        : vertices_(std::move(vertices)), indices_(std::move(indices))
    {
    }
    std::shared_ptr<IVertexBuffer> getVertexBuffer() const override { return vertices_; }
    std::shared_ptr<IIndexBuffer> getIndexBuffer() const override { return indices_; }
    std::uint32_t getPartCount() const override { return static_cast<std::uint32_t>(parts_.size()); }
    void addPart(const ModelPart& part) override { parts_.push_back(part); }
    bool removePart(std::uint32_t index) override;
    void clearParts() override { parts_.clear(); }
    bool setPart(std::uint32_t index, const ModelPart& part) override;
    bool getPart(std::uint32_t index, ModelPart& part) const override;
    bool setEffect(std::uint32_t index, std::shared_ptr<IEffect3d> effect) override;
    std::shared_ptr<IEffect3d> getEffect(std::uint32_t index) const override;
    bool setDiffuse(std::uint32_t index, Color color) override { return set(index, &ModelPart::diffuse, color); }
    bool getDiffuse(std::uint32_t index, Color& color) const override { return get(index, &ModelPart::diffuse, color); }
    bool setAmbient(std::uint32_t index, Color color) override { return set(index, &ModelPart::ambient, color); }
    bool getAmbient(std::uint32_t index, Color& color) const override { return get(index, &ModelPart::ambient, color); }
    bool setSpecular(std::uint32_t index, Color color) override { return set(index, &ModelPart::specular, color); }
    bool getSpecular(std::uint32_t index, Color& color) const override
    {
        return get(index, &ModelPart::specular, color);
    }
    bool setEmissive(std::uint32_t index, Color color) override { return set(index, &ModelPart::emissive, color); }
    bool getEmissive(std::uint32_t index, Color& color) const override
    {
        return get(index, &ModelPart::emissive, color);
    }
    bool setPower(std::uint32_t index, float power) override { return set(index, &ModelPart::power, power); }
    bool getPower(std::uint32_t index, float& power) const override { return get(index, &ModelPart::power, power); }
    bool setTexture(std::uint32_t index, std::uint32_t stage, std::shared_ptr<ITexture> texture) override;
    std::shared_ptr<ITexture> getTexture(std::uint32_t index, std::uint32_t stage) const override;
    void setBoundingBox(const BoundingBox& box) override { box_ = box; }
    const BoundingBox& getBoundingBox() const override { return box_; }
    void computeBounds() override;
    std::shared_ptr<IModel> clone() const override;

private:
    template <class T>
    bool set(std::uint32_t index, T ModelPart::*field, T value)
    {
        if (index >= parts_.size())
            return false;
        parts_[index].*field = value;
        return true;
    }
    template <class T>
    bool get(std::uint32_t index, T ModelPart::*field, T& value) const
    {
        if (index >= parts_.size())
            return false;
        value = parts_[index].*field;
        return true;
    }

    std::shared_ptr<IVertexBuffer> vertices_;
    std::shared_ptr<IIndexBuffer> indices_;
    std::vector<ModelPart> parts_;
    BoundingBox box_{};
};

class IActor {
public:
    virtual ~IActor() = default;
    virtual void release() = 0;
    virtual bool isReleased() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    virtual void setClipping(bool clipping) = 0;
    virtual bool isClipping() const = 0;
    virtual void setPriority(std::int32_t priority) = 0;
    virtual std::int32_t getPriority() const = 0;
    virtual void setPosition(float x, float y, float z) = 0;
    virtual void setPosition(const Vector3& position) = 0;
    virtual Vector3 getPosition() const = 0;
    virtual void setRotation(float x, float y, float z) = 0;
    virtual void setRotation(const Vector3& rotation) = 0;
    virtual Vector3 getRotation() const = 0;
    virtual void setScale(float x, float y, float z) = 0;
    virtual void setScale(const Vector3& scale) = 0;
    virtual Vector3 getScale() const = 0;
    virtual std::shared_ptr<IModel> getModel() const = 0;
    virtual Matrix getWorldMatrix() const = 0;
    virtual const BoundingBox& getBounds() const = 0;
    virtual std::uint32_t getPartCount() const = 0;
    virtual bool setEffect(std::uint32_t index, std::shared_ptr<IEffect3d> effect) = 0;
    virtual std::shared_ptr<IEffect3d> getEffect(std::uint32_t index) const = 0;
    virtual bool setDiffuse(std::uint32_t index, Color color) = 0;
    virtual bool getDiffuse(std::uint32_t index, Color& color) const = 0;
    virtual bool setAmbient(std::uint32_t index, Color color) = 0;
    virtual bool getAmbient(std::uint32_t index, Color& color) const = 0;
    virtual bool setSpecular(std::uint32_t index, Color color) = 0;
    virtual bool getSpecular(std::uint32_t index, Color& color) const = 0;
    virtual bool setEmissive(std::uint32_t index, Color color) = 0;
    virtual bool getEmissive(std::uint32_t index, Color& color) const = 0;
    virtual bool setPower(std::uint32_t index, float power) = 0;
    virtual bool getPower(std::uint32_t index, float& power) const = 0;
    virtual bool setTexture(std::uint32_t index, std::uint32_t stage, std::shared_ptr<ITexture> texture) = 0;
    virtual std::shared_ptr<ITexture> getTexture(std::uint32_t index, std::uint32_t stage) const = 0;
};

// An actor places its own copy of a model (materials of its own, geometry shared).
class Actor : public IActor {
public:
    explicit Actor(std::shared_ptr<IModel> model) : model_(std::move(model)) {}
    void release() override { released_ = true; }
    bool isReleased() const override { return released_; }
    void setVisible(bool visible) override { visible_ = visible; }
    bool isVisible() const override { return visible_; }
    void setClipping(bool clipping) override { clipping_ = clipping; }
    bool isClipping() const override { return clipping_; }
    void setPriority(std::int32_t priority) override { priority_ = priority; }
    std::int32_t getPriority() const override { return priority_; }
    void setPosition(float x, float y, float z) override { position_ = {x, y, z}; }
    void setPosition(const Vector3& position) override { position_ = position; }
    Vector3 getPosition() const override { return position_; }
    void setRotation(float x, float y, float z) override { rotation_ = {x, y, z}; }
    void setRotation(const Vector3& rotation) override { rotation_ = rotation; }
    Vector3 getRotation() const override { return rotation_; }
    void setScale(float x, float y, float z) override { scale_ = {x, y, z}; }
    void setScale(const Vector3& scale) override { scale_ = scale; }
    Vector3 getScale() const override { return scale_; }
    std::shared_ptr<IModel> getModel() const override { return model_; }
    Matrix getWorldMatrix() const override;
    const BoundingBox& getBounds() const override { return model_->getBoundingBox(); }
    std::uint32_t getPartCount() const override { return model_->getPartCount(); }
    bool setEffect(std::uint32_t i, std::shared_ptr<IEffect3d> e) override { return model_->setEffect(i, std::move(e)); }
    std::shared_ptr<IEffect3d> getEffect(std::uint32_t i) const override { return model_->getEffect(i); }
    bool setDiffuse(std::uint32_t i, Color c) override { return model_->setDiffuse(i, c); }
    bool getDiffuse(std::uint32_t i, Color& c) const override { return model_->getDiffuse(i, c); }
    bool setAmbient(std::uint32_t i, Color c) override { return model_->setAmbient(i, c); }
    bool getAmbient(std::uint32_t i, Color& c) const override { return model_->getAmbient(i, c); }
    bool setSpecular(std::uint32_t i, Color c) override { return model_->setSpecular(i, c); }
    bool getSpecular(std::uint32_t i, Color& c) const override { return model_->getSpecular(i, c); }
    bool setEmissive(std::uint32_t i, Color c) override { return model_->setEmissive(i, c); }
    bool getEmissive(std::uint32_t i, Color& c) const override { return model_->getEmissive(i, c); }
    bool setPower(std::uint32_t i, float p) override { return model_->setPower(i, p); }
    bool getPower(std::uint32_t i, float& p) const override { return model_->getPower(i, p); }
    bool setTexture(std::uint32_t i, std::uint32_t s, std::shared_ptr<ITexture> t) override
    {
        return model_->setTexture(i, s, std::move(t));
    }
    std::shared_ptr<ITexture> getTexture(std::uint32_t i, std::uint32_t s) const override
    {
        return model_->getTexture(i, s);
    }

private:
    std::shared_ptr<IModel> model_;
    bool released_ = false, visible_ = true, clipping_ = true;
    std::int32_t priority_ = 0;
    Vector3 position_{}, rotation_{}, scale_{1, 1, 1};
};

class IWorld {
public:
    virtual ~IWorld() = default;
    // A new actor over a clone of the model; empty for an empty model.
    virtual std::shared_ptr<IActor> createActor(const std::shared_ptr<IModel>& model) = 0;
    // Drops actors that are gone or released, then returns the rest by ascending priority.
    virtual std::vector<std::shared_ptr<IActor>> getActors() = 0;
};

// Holds its actors weakly: an actor lives as long as the script holds it.
class World : public IWorld {
public:
    std::shared_ptr<IActor> createActor(const std::shared_ptr<IModel>& model) override;
    std::vector<std::shared_ptr<IActor>> getActors() override;

private:
    std::vector<std::weak_ptr<IActor>> actors_;
};

// Compiled 3D programs by effect type, and the number of engine draws made with them.
struct Renderer3dCache {
    std::map<unsigned, std::shared_ptr<IShader>> shaders;
    std::uint64_t draws = 0;
};

// Draws models onto one target, with the compiled 3D programs cached by effect type.
class Renderer3d {
public:
    Renderer3d(std::shared_ptr<IEngine> engine, std::shared_ptr<ITarget> target,
               std::shared_ptr<Renderer3dCache> cache = std::make_shared<Renderer3dCache>())
        : engine_(std::move(engine)), target_(std::move(target)), cache_(std::move(cache))
    {
    }
    virtual ~Renderer3d() = default;
    virtual void setTarget(std::shared_ptr<ITarget> target) { target_ = std::move(target); }
    virtual std::shared_ptr<ITarget> getTarget() const { return target_; }
    virtual bool clear(Color color);
    virtual bool clearDepth(float z);
    // Draws part.count primitives of the buffers with the part's material and effect.
    virtual bool drawPrimitive(const std::shared_ptr<IVertexBuffer>& vertices, const std::shared_ptr<IIndexBuffer>& indices,
                               const ModelPart& part, const Matrix& world, const Matrix& view,
                               const Matrix& projection);
    virtual bool drawModel(const IModel& model, const Matrix& world, const Matrix& view, const Matrix& projection);

    // Engine draws issued so far (for tests and benchmarks).
    std::uint64_t drawCount() const { return cache_->draws; }

private:
    IShader* shaderFor(IEffect3d& effect);
    // The projection followed by the half-pixel move onto the target's pixel centres.
    Matrix onPixelCentres(const Matrix& projection) const;
    bool drawPart(const ModelPart& part, const Matrix& world, const Matrix& view, const Matrix& projection);

    std::shared_ptr<IEngine> engine_;
    std::shared_ptr<ITarget> target_;
    std::shared_ptr<Renderer3dCache> cache_;
    ModelPart scratch_;
};

// False when the actor's box, moved by its world matrix and seen through view and
// projection, lies entirely outside the view volume (all corners beyond one of its planes).
bool isInView(const IActor& actor, const Matrix& worldViewProjection);

// Draws a world onto a canvas that is drawing: flushes the canvas's 2D batch, clears the
// depth to 1, then draws every visible actor in priority order, skipping clipped actors that
// lie outside the view. False when the canvas is not drawing. Each canvas's target gets its
// own renderer.
bool drawWorld(ICanvas& canvas, IWorld& world, const Matrix& view, const Matrix& projection);
// The same through a given renderer (which must draw onto the canvas's target).
bool drawWorld(ICanvas& canvas, IWorld& world, const Matrix& view, const Matrix& projection, Renderer3d& renderer);
// The program cache drawWorld keeps for a canvas's target while target and engine live.
std::shared_ptr<Renderer3dCache> rendererCacheFor(const std::shared_ptr<IEngine>& engine,
                                                  const std::shared_ptr<ITarget>& target);

// Loads a texture by path; empty when it cannot.
using TextureLoader = std::function<std::shared_ptr<ITexture>(const std::u16string& path)>;

// A model over model data: one part per material with the faces of that material, each
// texture loaded from directory + name (a missing texture leaves the stage empty), and the
// bounding box of all vertices.
std::shared_ptr<IModel> createModel(IEngine& engine, const IModelData& data, std::u16string_view directory,
                                    const TextureLoader& loadTexture);
// The same through the graphics context, textures through its image loading. Needs the
// context and the screen canvas.
std::shared_ptr<IModel> createModel(const IModelData& data, std::u16string_view directory);
// Loads the file through the context's file and model loaders and builds the model with the
// file's folder as the texture directory.
std::shared_ptr<IModel> loadModel(std::u16string_view path);

}  // namespace QlGraphics
