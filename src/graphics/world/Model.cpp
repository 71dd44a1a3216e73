#include "graphics/world/Model.h"

#include "graphics/Context.h"
#include "graphics/world/Transform.h"

#include <algorithm>
#include <limits>

namespace QlGraphics {

// ---------------------------------------------------------------------------------------
// Model

bool Model::removePart(std::uint32_t index)
{
    if (index >= parts_.size())
        return false;
    parts_.erase(parts_.begin() + index);
    return true;
}

bool Model::setPart(std::uint32_t index, const ModelPart& part)
{
    if (index >= parts_.size())
        return false;
    parts_[index] = part;
    return true;
}

bool Model::getPart(std::uint32_t index, ModelPart& part) const
{
    if (index >= parts_.size())
        return false;
    part = parts_[index];
    return true;
}

bool Model::setEffect(std::uint32_t index, std::shared_ptr<IEffect3d> effect)
{
    if (index >= parts_.size())
        return false;
    parts_[index].effect = std::move(effect);
    return true;
}

std::shared_ptr<IEffect3d> Model::getEffect(std::uint32_t index) const
{
    return index < parts_.size() ? parts_[index].effect : nullptr;
}

bool Model::setTexture(std::uint32_t index, std::uint32_t stage, std::shared_ptr<ITexture> texture)
{
    if (index >= parts_.size() || stage >= 4)
        return false;
    parts_[index].textures[stage] = std::move(texture);
    return true;
}

std::shared_ptr<ITexture> Model::getTexture(std::uint32_t index, std::uint32_t stage) const
{
    if (index >= parts_.size() || stage >= 4)
        return nullptr;
    return parts_[index].textures[stage];
}

void Model::computeBounds()
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    Vector3 lo{inf, inf, inf}, hi{-inf, -inf, -inf};
    const std::uint32_t count = vertices_ ? vertices_->getCount() : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const float* p = vertices_->positionAt(i);
        lo = {std::min(lo.x, p[0]), std::min(lo.y, p[1]), std::min(lo.z, p[2])};
        hi = {std::max(hi.x, p[0]), std::max(hi.y, p[1]), std::max(hi.z, p[2])};
    }
    if (count == 0)
        lo = hi = {};
    for (int k = 0; k < 8; ++k)
        box_[k] = {(k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z};
}

std::shared_ptr<IModel> Model::clone() const
{
    auto copy = std::make_shared<Model>(vertices_, indices_);
    copy->parts_ = parts_;
    copy->box_ = box_;
    return copy;
}

// ---------------------------------------------------------------------------------------
// Actor and World

Matrix Actor::getWorldMatrix() const { return worldMatrix(position_, rotation_, scale_); }

std::shared_ptr<IActor> World::createActor(const std::shared_ptr<IModel>& model)
{
    if (!model)
        return nullptr;
    auto copy = model->clone();
    if (!copy)
        return nullptr;
    auto actor = std::make_shared<Actor>(std::move(copy));
    actors_.push_back(actor);
    return actor;
}

std::vector<std::shared_ptr<IActor>> World::getActors()
{
    std::vector<std::shared_ptr<IActor>> live;
    live.reserve(actors_.size());
    std::size_t kept = 0;
    for (auto& weak : actors_) {
        auto actor = weak.lock();
        if (!actor || actor->isReleased())
            continue;
        actors_[kept++] = weak;
        live.push_back(std::move(actor));
    }
    actors_.resize(kept);
    // The list stays in creation order and only the copy is sorted, stably, so actors of equal
    // priority are drawn in the order they were made in, whatever priorities they had before.
    std::stable_sort(live.begin(), live.end(),
                     [](const auto& a, const auto& b) { return a->getPriority() < b->getPriority(); });
    return live;
}

// ---------------------------------------------------------------------------------------
// Renderer3d

bool Renderer3d::clear(Color color)
{
    engine_->setTarget(target_);
    return engine_->clear(color);
}

bool Renderer3d::clearDepth(float z)
{
    engine_->setTarget(target_);
    return engine_->clearDepth(z);
}

Matrix Renderer3d::onPixelCentres(const Matrix& projection) const
{
    // Models are drawn with the pixels the reference rasteriser gives: it samples pixel
    // (i, j) at the point (i, j) of the target, where GL samples (i + 0.5, j + 0.5). Moving
    // the projected geometry half a pixel right and down makes both sample the same points,
    // so a triangle (0, 0), (10, 0), (0, 10) in pixels covers 55 pixels, not 45. The shift
    // is applied in clip space (scaled by w), so it is half a pixel at every depth.
    const int width = target_ ? target_->getWidth() : engine_->getWidth();
    const int height = target_ ? target_->getHeight() : engine_->getHeight();
    if (width <= 0 || height <= 0)
        return projection;
    Matrix shift;
    shift.m[3][0] = 1.0f / static_cast<float>(width);    // x + w * (0.5 px in clip units)
    shift.m[3][1] = -1.0f / static_cast<float>(height);  // clip y points up, pixel rows down
    return multiply(projection, shift);
}

IShader* Renderer3d::shaderFor(IEffect3d& effect)
{
    auto& shaders = cache_->shaders;
    const unsigned type = effect.getType();
    auto it = shaders.find(type);
    if (it == shaders.end())
        it = shaders.emplace(type, effect.createShader(*engine_)).first;  // a failure is kept too
    return it->second.get();
}

bool Renderer3d::drawPrimitive(const std::shared_ptr<IVertexBuffer>& vertices,
                               const std::shared_ptr<IIndexBuffer>& indices, const ModelPart& part,
                               const Matrix& world, const Matrix& view, const Matrix& projection)
{
    if (!vertices || !indices)
        return false;
    engine_->setTarget(target_);
    engine_->setVertexBuffer(vertices);
    engine_->setIndexBuffer(indices);
    return drawPart(part, world, view, projection);
}

bool Renderer3d::drawPart(const ModelPart& part, const Matrix& world, const Matrix& view, const Matrix& projection)
{
    if (part.count == 0)
        return false;
    IEffect3d& effect = part.effect ? *part.effect : *getBasicEffect3d();
    IShader* shader = shaderFor(effect);
    if (shader == nullptr)
        return false;
    const DrawRecord3d record{world, view, onPixelCentres(projection), part.diffuse, part.textures[0]};
    effect.apply(*shader, record);
    shader->begin();
    const bool drawn = engine_->drawIndexed(part.primitive, part.count, part.start);
    shader->end();
    ++cache_->draws;
    return drawn;
}

bool Renderer3d::drawModel(const IModel& model, const Matrix& world, const Matrix& view, const Matrix& projection)
{
    auto vertices = model.getVertexBuffer();
    auto indices = model.getIndexBuffer();
    if (!vertices || !indices || vertices->getCount() == 0)
        return false;
    engine_->setTarget(target_);
    engine_->setVertexBuffer(vertices);
    engine_->setIndexBuffer(indices);
    const std::uint32_t parts = model.getPartCount();
    for (std::uint32_t k = 0; k < parts; ++k)
        if (model.getPart(k, scratch_))
            drawPart(scratch_, world, view, projection);
    return true;
}

// ---------------------------------------------------------------------------------------
// Drawing worlds

bool isInView(const IActor& actor, const Matrix& worldViewProjection)
{
    // In clip space the view volume is -w <= x <= w, -w <= y <= w, 0 <= z <= w. A box is
    // outside only when all eight corners lie beyond one and the same of those six planes;
    // a box with a corner inside is always drawn, and so is a box that spans the view while
    // every corner is outside it (a floor or wall bigger than the screen).
    unsigned outside = 0x3F;
    for (const Vector3& c : actor.getBounds()) {
        const Vector4 p = transform({c.x, c.y, c.z, 1.0f}, worldViewProjection);
        unsigned planes = 0;
        if (p.x < -p.w) planes |= 1;
        if (p.x > p.w) planes |= 2;
        if (p.y < -p.w) planes |= 4;
        if (p.y > p.w) planes |= 8;
        if (p.z < 0) planes |= 16;
        if (p.z > p.w) planes |= 32;
        outside &= planes;
        if (outside == 0)
            return true;
    }
    return false;
}

namespace {

// Only weak references: the cache must neither keep a canvas's target nor the engine alive.
struct RendererSlot {
    std::weak_ptr<ITarget> target;
    std::weak_ptr<IEngine> engine;
    std::shared_ptr<Renderer3dCache> cache;
};

// Never destroyed: at process exit the GL context may already be gone, and the compiled
// programs must not be deleted without it.
std::map<const ITarget*, RendererSlot>& renderers()
{
    static auto* slots = new std::map<const ITarget*, RendererSlot>();
    return *slots;
}

void dropSlot(RendererSlot& slot)
{
    // Programs of an engine that is gone died with its context; deleting them now could hit
    // objects of another context, so they are let go without being deleted.
    if (slot.engine.expired() && slot.cache)
        new std::shared_ptr<Renderer3dCache>(std::move(slot.cache));
    slot.cache.reset();
}

}  // namespace

std::shared_ptr<Renderer3dCache> rendererCacheFor(const std::shared_ptr<IEngine>& engine,
                                                  const std::shared_ptr<ITarget>& target)
{
    auto& slots = renderers();
    for (auto it = slots.begin(); it != slots.end();) {
        if (it->second.target.expired() || it->second.engine.expired()) {
            dropSlot(it->second);
            it = slots.erase(it);
        } else {
            ++it;
        }
    }
    RendererSlot& slot = slots[target.get()];
    if (!slot.cache) {
        slot.target = target;
        slot.engine = engine;
        slot.cache = std::make_shared<Renderer3dCache>();
    }
    return slot.cache;
}

bool drawWorld(ICanvas& canvas, IWorld& world, const Matrix& view, const Matrix& projection)
{
    auto context = getContext();
    auto engine = context ? context->getEngine() : nullptr;
    auto target = canvas.getTarget();
    if (!engine || !target)
        return false;
    Renderer3d renderer(engine, target, rendererCacheFor(engine, target));
    return drawWorld(canvas, world, view, projection, renderer);
}

bool drawWorld(ICanvas& canvas, IWorld& world, const Matrix& view, const Matrix& projection, Renderer3d& renderer)
{
    if (!canvas.isDrawing())
        return false;
    canvas.flush();
    renderer.clearDepth(1.0f);
    const Matrix viewProjection = multiply(view, projection);
    for (const auto& actor : world.getActors()) {
        if (!actor->isVisible())
            continue;
        const Matrix w = actor->getWorldMatrix();
        if (actor->isClipping() && !isInView(*actor, multiply(w, viewProjection)))
            continue;
        renderer.drawModel(*actor->getModel(), w, view, projection);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Building models

std::shared_ptr<IModel> createModel(IEngine& engine, const IModelData& data, std::u16string_view directory,
                                    const TextureLoader& loadTexture)
{
    auto vertices = engine.createVertexBuffer(5, Storage::Device);
    auto indices = engine.createIndexBuffer(IndexFormat::Index16, Storage::Device);
    if (!vertices || !indices)
        return nullptr;
    const auto& source = data.getVertices();
    if (source.size() > ModelLoader::kMaxVertices)
        return nullptr;
    if (!source.empty() &&
        !vertices->append(source.data(), static_cast<std::uint32_t>(source.size() * sizeof(ModelVertex))))
        return nullptr;
    auto model = std::make_shared<Model>(vertices, indices);
    std::u16string folder(directory);
    if (!folder.empty() && folder.back() != u'/' && folder.back() != u'\\')
        folder += u'/';
    // The indices of each material's faces, in face order, gathered in one pass over the faces.
    // Faces naming a material the model does not have are not drawn; faces naming vertices it
    // does not have are left out.
    const auto& materials = data.getMaterials();
    std::vector<std::vector<std::uint16_t>> lists(materials.size());
    for (const ModelFace& f : data.getFaces()) {
        if (f.material >= lists.size())
            continue;
        if (f.index[0] >= source.size() || f.index[1] >= source.size() || f.index[2] >= source.size())
            continue;
        auto& list = lists[f.material];
        list.insert(list.end(), f.index, f.index + 3);
    }
    for (std::uint32_t m = 0; m < materials.size(); ++m) {
        std::vector<std::uint16_t> list = std::move(lists[m]);
        ModelPart part;
        part.start = indices->getCount();
        part.count = static_cast<std::uint32_t>(list.size() / 3);
        if (!list.empty())
            indices->append(list.data(), static_cast<std::uint32_t>(list.size() * sizeof(std::uint16_t)));
        const ModelMaterial& mat = materials[m];
        part.diffuse = mat.diffuse;
        part.ambient = mat.ambient;
        part.specular = mat.specular;
        part.emissive = mat.emissive;
        part.power = mat.power;
        for (std::size_t s = 0; s < 4; ++s)
            if (!mat.textures[s].empty() && loadTexture)
                part.textures[s] = loadTexture(folder + mat.textures[s]);
        model->addPart(part);
    }
    // The box around the geometry, so that clipping works without further set-up.
    model->computeBounds();
    return model;
}

}  // namespace QlGraphics
