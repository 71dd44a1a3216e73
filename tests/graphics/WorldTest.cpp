// Models, actors and worlds, and worlds rendered onto a canvas and read back: lighting,
// culling, depth, fog, clipping and models loaded through the file manager.
#include "graphics/Context.h"
#include "graphics/world/Model.h"
#include "graphics/world/Transform.h"

#include "WorldFixture.h"

#include <numbers>
#include <string>

using namespace QlGraphics;
using namespace QlTest;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// ---------------------------------------------------------------------------------------
// Worlds and models without drawing

using Actors = std::vector<std::shared_ptr<IActor>>;

std::shared_ptr<Model> bareModel(int parts)
{
    auto m = std::make_shared<Model>(nullptr, nullptr);
    for (int k = 0; k < parts; ++k) {
        ModelPart p;
        p.diffuse = 0xFF000000u | static_cast<Color>(k);
        p.count = 1;
        m->addPart(p);
    }
    return m;
}

TEST(World, DrawsLowerPrioritiesFirstAndDropsReleasedActors)
{
    World world;
    auto model = bareModel(1);
    auto a = world.createActor(model);
    auto b = world.createActor(model);
    auto c = world.createActor(model);
    a->setPriority(5);
    b->setPriority(-1);
    c->setPriority(2);
    EXPECT_EQ(world.getActors(), (Actors{b, c, a}));

    c->release();
    EXPECT_TRUE(c->isReleased());
    EXPECT_EQ(world.getActors(), (Actors{b, a}));  // c is still held here, yet gone from the world

    b.reset();  // the world never keeps an actor alive
    EXPECT_EQ(world.getActors(), Actors{a});
    EXPECT_FALSE(world.createActor(nullptr));
}

TEST(World, EqualPrioritiesKeepCreationOrderAfterPriorityChanges)
{
    World world;
    auto model = bareModel(1);
    auto a = world.createActor(model);
    auto b = world.createActor(model);
    auto c = world.createActor(model);
    a->setPriority(5);
    EXPECT_EQ(world.getActors(), (Actors{b, c, a}));
    a->setPriority(0);  // back to where it was: drawn first again, as the first made
    EXPECT_EQ(world.getActors(), (Actors{a, b, c}));
    c->setPriority(-3);
    b->setPriority(-3);
    EXPECT_EQ(world.getActors(), (Actors{b, c, a}));
}

TEST(World, ActorsHaveTheirOwnMaterialsOverSharedGeometry)
{
    World world;
    auto model = bareModel(2);
    auto actor = world.createActor(model);
    ASSERT_TRUE(actor);
    EXPECT_NE(actor->getModel(), model);
    EXPECT_EQ(actor->getModel()->getVertexBuffer(), model->getVertexBuffer());
    ASSERT_TRUE(actor->setDiffuse(1, 0xFF123456u));
    Color c = 0;
    ASSERT_TRUE(model->getDiffuse(1, c));
    EXPECT_EQ(c, 0xFF000001u);  // the model itself is untouched
    ASSERT_TRUE(actor->getDiffuse(1, c));
    EXPECT_EQ(c, 0xFF123456u);
    EXPECT_FALSE(actor->setDiffuse(2, 0));
    float power = -1;
    EXPECT_FALSE(actor->getPower(7, power));
    EXPECT_EQ(power, -1.0f);
    EXPECT_FALSE(actor->setTexture(0, 4, nullptr));
    auto fog = createFogEffect3d(0xFFFFFFFFu, 1, 2);
    EXPECT_TRUE(actor->setEffect(0, fog));
    EXPECT_EQ(actor->getEffect(0), fog);
    EXPECT_EQ(model->getEffect(0), nullptr);
    EXPECT_EQ(actor->getPartCount(), 2u);
}

TEST(World, ClippingSkipsBoxesOutsideTheView)
{
    auto model = bareModel(1);
    BoundingBox box;
    for (int k = 0; k < 8; ++k)
        box[k] = {(k & 1) ? 1.0f : -1.0f, (k & 2) ? 1.0f : -1.0f, (k & 4) ? 1.0f : -1.0f};
    model->setBoundingBox(box);
    Actor actor(model);
    const Matrix vp = multiply(lookAt({0, 0, -10}, {0, 0, 0}, {0, 1, 0}), perspective(kPi / 2, 1, 1, 100));
    EXPECT_TRUE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
    actor.setPosition(0, 0, -20);  // behind the camera
    EXPECT_FALSE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
    actor.setPosition(10.5f, 0, 0);  // at depth 10 the view reaches x = 10: one corner inside
    EXPECT_TRUE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
    actor.setPosition(12.5f, 0, 0);
    EXPECT_FALSE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
    actor.setPosition(0, 0, 95);  // beyond the far plane
    EXPECT_FALSE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
    // Bigger than the view: every corner outside, yet it covers the screen.
    actor.setPosition(0, 0, 0);
    actor.setScale(30, 30, 1);
    EXPECT_TRUE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
    actor.setPosition(0, 100, 0);
    EXPECT_FALSE(isInView(actor, multiply(actor.getWorldMatrix(), vp)));
}

// ---------------------------------------------------------------------------------------
// Rendering

TEST_F(WorldRender, LightsFacesByTheirWorldNormals)
{
    auto model = build(*parseText(kCube));
    ASSERT_TRUE(model);
    World world;
    auto actor = world.createActor(model);
    // From the -x, -z side: the -x face (away from the light) on the left, the -z face
    // (towards it) on the right.
    const auto px = render(world, lookAt({-4, 0, -4}, {0, 0, 0}, {0, 1, 0}), kProjection);
    EXPECT_TRUE(near(at(px, 27, 32), gray(kShaded), 2));
    EXPECT_TRUE(near(at(px, 36, 32), gray(kLit), 2));
    EXPECT_EQ(at(px, 1, 1), kClear);

    // The bottom face is the red part; seen from below it is lit as a face away from the light.
    const auto below = render(world, lookAt({0, -5, 0.01f}, {0, 0, 0}, {0, 0, 1}), kProjection);
    EXPECT_TRUE(near(at(below, 32, 32), 0xFF7F0000u, 2));

    // Lighting uses the normals as the actor's rotation turns them. A quarter turn by -pi/2
    // about y maps (x, y, z) to (-z, y, x). The camera at -z then sees the old -x face: its
    // model normal (-1, 0, 0) points away from the light, its turned normal (0, 0, -1) towards
    // it, so it must be lit. The camera at +z sees the old +x face: model normal towards the
    // light, turned normal (0, 0, 1) away from it, so it must be shaded.
    actor->setRotation(0, -kPi / 2, 0);
    const auto front = render(world, lookAt({0, 0, -5}, {0, 0, 0}, {0, 1, 0}), kProjection);
    EXPECT_TRUE(near(at(front, 32, 32), gray(kLit), 2)) << std::hex << at(front, 32, 32);
    const auto back = render(world, lookAt({0, 0, 5}, {0, 0, 0}, {0, 1, 0}), kProjection);
    EXPECT_TRUE(near(at(back, 32, 32), gray(kShaded), 2)) << std::hex << at(back, 32, 32);
}

TEST_F(WorldRender, PartsHoldTheirMaterialsFacesInFaceOrder)
{
    // Six triangles of materials 1, 0, 1, 9 (no such material), 0, 1 over three materials.
    ModelData data;
    const std::uint32_t materialOf[6] = {1, 0, 1, 9, 0, 1};
    for (std::uint32_t f = 0; f < 6; ++f) {
        ModelFace face;
        face.material = materialOf[f];
        for (int k = 0; k < 3; ++k) {
            face.index[k] = static_cast<std::uint16_t>(data.vertices.size());
            data.vertices.push_back({float(f), float(k), 0, 0, 0, -1, 0, 0});
        }
        data.faces.push_back(face);
    }
    // A face naming a vertex the model lacks is left out.
    data.faces.push_back({0, {0, 1, 18}});
    data.materials.resize(3);
    for (std::uint32_t m = 0; m < 3; ++m)
        data.materials[m].diffuse = 0xFF000000u | m;
    auto model = build(data);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->getPartCount(), 3u);
    auto indices = model->getIndexBuffer();
    ASSERT_EQ(indices->getCount(), 15u);
    const struct {
        std::uint32_t start, count;
        std::vector<std::uint32_t> faces;
    } expected[] = {{0, 2, {1, 4}}, {6, 3, {0, 2, 5}}, {15, 0, {}}};
    for (std::uint32_t m = 0; m < 3; ++m) {
        ModelPart part;
        ASSERT_TRUE(model->getPart(m, part));
        EXPECT_EQ(part.diffuse, 0xFF000000u | m);
        EXPECT_EQ(part.start, expected[m].start) << m;
        EXPECT_EQ(part.count, expected[m].count) << m;
        for (std::size_t k = 0; k < expected[m].faces.size(); ++k)
            for (std::uint32_t corner = 0; corner < 3; ++corner) {
                const auto slot = static_cast<std::uint32_t>(part.start + 3 * k + corner);
                EXPECT_EQ(*static_cast<const std::uint16_t*>(indices->elementAt(slot)), 3 * expected[m].faces[k] + corner)
                    << m << " " << k;
            }
    }
}

TEST_F(WorldRender, CullsFacesSeenFromBehind)
{
    auto data = parseText(kSquare);
    data->materials[0].textures[0].clear();
    auto model = build(*data);
    World world;
    auto actor = world.createActor(model);
    actor->setScale(4, 4, 1);
    const Matrix view = lookAt({0, 0, -3}, {0, 0, 0}, {0, 1, 0});
    EXPECT_TRUE(near(at(render(world, view, kProjection), 32, 32), gray(kLit), 2));
    actor->setRotation(0, kPi, 0);  // now its back faces the camera
    EXPECT_EQ(at(render(world, view, kProjection), 32, 32), kClear);
}

TEST_F(WorldRender, NearerSurfacesHideFartherOnesWhateverTheOrder)
{
    auto data = parseText(kSquare);
    data->materials[0].textures[0].clear();
    auto model = build(*data);
    World world;
    auto nearSquare = world.createActor(model);
    auto farSquare = world.createActor(model);
    nearSquare->setDiffuse(0, 0xFFFF0000u);
    farSquare->setDiffuse(0, 0xFF00FF00u);
    nearSquare->setScale(2, 2, 1);
    farSquare->setScale(16, 16, 1);
    farSquare->setPosition(0, 0, 3);
    const Matrix view = lookAt({0, 0, -3}, {0, 0, 0}, {0, 1, 0});
    for (int order : {-1, 1}) {
        nearSquare->setPriority(order);  // drawn before, then after, the far square
        const auto px = render(world, view, kProjection);
        EXPECT_TRUE(near(at(px, 32, 32), 0xFF000000u | kLit << 16, 2)) << order;
        EXPECT_TRUE(near(at(px, 4, 32), 0xFF000000u | kLit << 8, 2)) << order;
    }
}

TEST_F(WorldRender, FogFadesBetweenNearAndFar)
{
    auto data = parseText(kSquare);
    data->materials[0].textures[0].clear();
    auto model = build(*data);
    World world;
    auto square = world.createActor(model);
    square->setEffect(0, createFogEffect3d(0xFF0000FFu, 40.0f, 100.0f));
    const Matrix view = lookAt({0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    const struct {
        float depth;
        Color expected;
    } cases[] = {
        {20.0f, gray(kLit)},
        {40.0f, gray(kLit)},
        {70.0f, 0xFF000000u | (kLit / 2) << 16 | (kLit / 2) << 8 | (kLit + 255) / 2},
        {100.0f, 0xFF0000FFu},
        {300.0f, 0xFF0000FFu},
    };
    for (const auto& c : cases) {
        square->setPosition(0, 0, c.depth);
        square->setScale(c.depth, c.depth, 1);
        EXPECT_TRUE(near(at(render(world, view, kProjection), 32, 32), c.expected, 2)) << c.depth;
    }
}

TEST_F(WorldRender, ClippedActorsAreNotDrawn)
{
    auto model = build(*parseText(kCube));
    World world;
    auto actor = world.createActor(model);
    actor->setPosition(0, 0, -20);  // behind the camera
    const Matrix view = lookAt({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
    auto renderer = rendererCacheFor(engine, canvas->getTarget());
    const auto before = renderer->draws;
    render(world, view, kProjection);
    EXPECT_EQ(renderer->draws, before);
    actor->setClipping(false);
    render(world, view, kProjection);
    EXPECT_EQ(renderer->draws, before + 2);  // one draw per part
    actor->setVisible(false);
    render(world, view, kProjection);
    EXPECT_EQ(renderer->draws, before + 2);
}

TEST_F(WorldRender, TrianglesCoverThePixelsWhoseCentresTheReferenceSamples)
{
    // A projection with w = 1 that maps x = px - 32, y = 32 - py exactly onto pixel (px, py)
    // of the 64 x 64 canvas, so the triangle's corners land exactly on pixel positions.
    Matrix pixels;
    pixels.m[0][0] = 1.0f / 32;
    pixels.m[1][1] = 1.0f / 32;
    const auto triangle = [&](float x0, float y0) {
        const std::string text = "Metasequoia Document\nMaterial 1 {\n\"w\" col(1.000 1.000 1.000 1.000) dif(1.000)\n}\n"
                                 "Object \"t\" {\nvertex 3 {\n" +
                                 std::to_string(x0 - 32) + " " + std::to_string(32 - y0) + " 0.5000\n" +
                                 std::to_string(x0 - 22) + " " + std::to_string(32 - y0) + " 0.5000\n" +
                                 std::to_string(x0 - 32) + " " + std::to_string(22 - y0) + " 0.5000\n" +
                                 "}\nface 1 {\n3 V(0 1 2) M(0)\n}\n}\n";
        return build(*parseText(text.c_str()));
    };
    const auto covered = [&](const std::vector<Color>& px, std::vector<std::pair<int, int>>& where) {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if (at(px, x, y) != kClear)
                    where.emplace_back(x, y);
    };
    // Corners (0, 0), (10, 0), (0, 10): the pixels i, j >= 0 with i + j < 10, so the top and
    // left edges are in and the long edge is out (55 pixels; GL's own centres would give 45).
    World world;
    auto actor = world.createActor(triangle(0, 0));
    std::vector<std::pair<int, int>> where;
    covered(render(world, Matrix{}, pixels), where);
    EXPECT_EQ(where.size(), 55u);
    for (auto [x, y] : where)
        EXPECT_LT(x + y, 10) << x << "," << y;
    // Half a pixel further, no corner or edge meets a sample point: i, j >= 1 with i + j <= 10.
    actor->release();
    auto moved = world.createActor(triangle(0.5f, 0.5f));
    where.clear();
    covered(render(world, Matrix{}, pixels), where);
    EXPECT_EQ(where.size(), 45u);
    for (auto [x, y] : where)
        EXPECT_TRUE(x >= 1 && y >= 1 && x + y <= 10) << x << "," << y;
}

TEST_F(WorldRender, DrawWorldNeedsADrawingCanvas)
{
    World world;
    EXPECT_FALSE(drawWorld(*canvas, world, Matrix{}, Matrix{}));
}

TEST_F(WorldRender, EachCanvasKeepsItsOwnProgramsAndNothingKeepsTheCanvas)
{
    auto model = build(*parseText(kCube));
    World world;
    auto actor = world.createActor(model);
    const Matrix view = lookAt({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
    render(world, view, kProjection);
    auto other = createCanvas(engine, 16, 16);
    other->begin();
    drawWorld(*other, world, view, kProjection);
    other->end();
    auto first = rendererCacheFor(engine, canvas->getTarget());
    auto second = rendererCacheFor(engine, other->getTarget());
    EXPECT_NE(first, second);
    ASSERT_EQ(second->shaders.size(), 1u);
    EXPECT_NE(first->shaders.at(0), second->shaders.at(0));
    std::weak_ptr<ITarget> target = other->getTarget();
    other.reset();
    engine->setTarget(nullptr);  // the engine holds the target it last drew on
    EXPECT_TRUE(target.expired());
}

}  // namespace
