#pragma once
// Models and a canvas for the rendered world tests.

#include "graphics/Context.h"
#include "graphics/world/Model.h"
#include "graphics/world/Transform.h"

#include "GlFixture.h"

#include <cstring>
#include <numbers>

namespace QlTest {

using namespace QlGraphics;

inline const char* kCube = R"(Metasequoia Document
Format Text Ver 1.0
Material 2 {
	"white" col(1.000 1.000 1.000 1.000) dif(1.000)
	"red" col(1.000 0.000 0.000 1.000) dif(1.000)
}
Object "cube" {
	vertex 8 {
		-1.0000 -1.0000 -1.0000
		-1.0000 1.0000 -1.0000
		1.0000 1.0000 -1.0000
		1.0000 -1.0000 -1.0000
		-1.0000 -1.0000 1.0000
		-1.0000 1.0000 1.0000
		1.0000 1.0000 1.0000
		1.0000 -1.0000 1.0000
	}
	face 6 {
		4 V(0 1 2 3) M(0)
		4 V(7 6 5 4) M(0)
		4 V(4 5 1 0) M(0)
		4 V(3 2 6 7) M(0)
		4 V(1 5 6 2) M(0)
		4 V(4 0 3 7) M(1)
	}
}
)";

// A square facing -z: clockwise as seen from the camera at -z.
inline const char* kSquare = R"(Metasequoia Document
Material 1 {
	"m" col(1.000 1.000 1.000 1.000) dif(1.000) tex("check.bmp")
}
Object "square" {
	vertex 4 {
		-0.5000 -0.5000 0.0000
		-0.5000 0.5000 0.0000
		0.5000 0.5000 0.0000
		0.5000 -0.5000 0.0000
	}
	face 1 {
		4 V(0 1 2 3) M(0) UV(0.00000 1.00000 0.00000 0.00000 1.00000 0.00000 1.00000 1.00000)
	}
}
)";

inline std::shared_ptr<ModelData> parseText(const char* text)
{
    return ModelLoader::parse(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

constexpr Color kClear = 0xFF203040u;
// Half-Lambert factors of the fixed light: faces towards it 0.5 + 0.5 / sqrt(3), away 0.5.
constexpr int kLit = 201;
constexpr int kShaded = 127;

struct WorldRender : GlFixture {
    std::shared_ptr<Context> context;
    std::shared_ptr<ICanvas> canvas;

    void SetUp() override
    {
        GlFixture::SetUp();
        if (HasFatalFailure())
            return;
        context = Context::create(engine);
        ASSERT_TRUE(context);
        setContext(context);
        setScreenCanvas(createCanvas(engine, 64, 48));
        canvas = createCanvas(engine, 64, 64);
        ASSERT_TRUE(canvas);
    }
    void TearDown() override
    {
        setScreenCanvas(nullptr);
        setContext(nullptr);
    }

    std::shared_ptr<IModel> build(const IModelData& data) { return createModel(*engine, data, u"", nullptr); }

    std::vector<Color> render(IWorld& world, const Matrix& view, const Matrix& projection)
    {
        canvas->clear(kClear);
        EXPECT_TRUE(canvas->begin());
        EXPECT_TRUE(drawWorld(*canvas, world, view, projection));
        EXPECT_TRUE(canvas->end());
        return readCanvas(*canvas);
    }
    static Color at(const std::vector<Color>& px, int x, int y) { return px[static_cast<std::size_t>(y) * 64 + x]; }
    static Color gray(int v) { return 0xFF000000u | static_cast<Color>(v) * 0x010101u; }
};

inline const Matrix kProjection = perspective(std::numbers::pi_v<float> / 2, 1.0f, 1.0f, 1000.0f);


}  // namespace QlTest
