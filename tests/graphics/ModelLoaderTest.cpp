// Reading Metasequoia text documents into model data.
#include "graphics/world/ModelData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace QlGraphics;

namespace {

std::shared_ptr<ModelData> parse(const std::string& text)
{
    return ModelLoader::parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

const char* kHeader = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\n";

std::string quadDocument()
{
    return std::string(kHeader) +
           "Material 2 {\r\n"
           "\t\"red\" shader(3) col(1.000 0.500 0.250 0.800) dif(0.800) amb(0.600) emi(0.100) spc(1.000) power(50.00) "
           "tex(\"wood.png\")\r\n"
           "\t\"plain\" col(0.000 1.000 0.000 1.000) dif(1.000)\r\n"
           "}\r\n"
           "Object \"board\" {\r\n"
           "\tdepth 0\r\n"
           "\tvertex 4 {\r\n"
           "\t\t0.0000 0.0000 0.0000\r\n"
           "\t\t0.0000 1.0000 0.0000\r\n"
           "\t\t1.0000 1.0000 0.0000\r\n"
           "\t\t1.0000 0.0000 0.0000\r\n"
           "\t}\r\n"
           "\tface 1 {\r\n"
           "\t\t4 V(0 1 2 3) M(1) UV(0.10000 0.20000 0.30000 0.40000 0.50000 0.60000 0.70000 0.80000)\r\n"
           "\t}\r\n"
           "}\r\n"
           "Eof\r\n";
}

TEST(ModelLoader, QuadBecomesTwoTrianglesWithTheirOwnVertices)
{
    auto m = parse(quadDocument());
    ASSERT_TRUE(m);
    ASSERT_EQ(m->faces.size(), 2u);
    ASSERT_EQ(m->vertices.size(), 6u);
    // (a, b, c) and (a, c, d), each corner a new vertex.
    const float expectX[6] = {0, 0, 1, 0, 1, 1};
    const float expectY[6] = {0, 1, 1, 0, 1, 0};
    const float expectU[6] = {0.1f, 0.3f, 0.5f, 0.1f, 0.5f, 0.7f};
    const float expectV[6] = {0.2f, 0.4f, 0.6f, 0.2f, 0.6f, 0.8f};
    for (int k = 0; k < 6; ++k) {
        EXPECT_FLOAT_EQ(m->vertices[k].x, expectX[k]) << k;
        EXPECT_FLOAT_EQ(m->vertices[k].y, expectY[k]) << k;
        EXPECT_FLOAT_EQ(m->vertices[k].u, expectU[k]) << k;
        EXPECT_FLOAT_EQ(m->vertices[k].v, expectV[k]) << k;
        // (p1 - p0) x (p2 - p0) = (0,1,0) x (1,1,0) = (0,0,-1), facing a viewer at -z.
        EXPECT_FLOAT_EQ(m->vertices[k].nx, 0);
        EXPECT_FLOAT_EQ(m->vertices[k].ny, 0);
        EXPECT_FLOAT_EQ(m->vertices[k].nz, -1);
    }
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(m->faces[f].material, 1u);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(m->faces[f].index[k], 3 * f + k);
    }
    ASSERT_EQ(m->objects.size(), 1u);
    EXPECT_EQ(m->objects[0].name, "board");
    EXPECT_EQ(m->objects[0].faceCount, 2u);
}

TEST(ModelLoader, MaterialColoursScaleTheBaseColour)
{
    auto m = parse(quadDocument());
    ASSERT_TRUE(m);
    ASSERT_EQ(m->materials.size(), 2u);
    const ModelMaterial& red = m->materials[0];
    // Base (255, 127, 63) alpha 204; each factor scales red, green and blue, truncating.
    EXPECT_EQ(red.diffuse, 0xCCCC6532u);   // 0.8: 204, 101, 50
    EXPECT_EQ(red.ambient, 0xCC994C25u);   // 0.6: 153, 76, 37
    EXPECT_EQ(red.emissive, 0xCC190C06u);  // 0.1: 25, 12, 6
    EXPECT_EQ(red.specular, 0xCCFF7F3Fu);
    EXPECT_FLOAT_EQ(red.power, 0.5f);
    EXPECT_EQ(red.textures[0], u"wood.png");
    EXPECT_EQ(m->materials[1].diffuse, 0xFF00FF00u);
    EXPECT_TRUE(m->materials[1].textures[0].empty());
    EXPECT_EQ(m->materials[1].power, 0.0f);
}

TEST(ModelLoader, OnlyPlainTextureNamesAreAccepted)
{
    for (const char* name : {"my_wood.png", "tex/wood.png", "wood", "wood.tar.gz"}) {
        auto m = parse(std::string(kHeader) + "Material 1 {\n\"m\" col(1.000 1.000 1.000 1.000) tex(\"" + name +
                       "\")\n}\n");
        ASSERT_TRUE(m) << name;
        EXPECT_TRUE(m->materials[0].textures[0].empty()) << name;
    }
}

TEST(ModelLoader, DocumentMustStartWithItsSignature)
{
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("Metasequoia Document Extra\n"));
    EXPECT_FALSE(parse("\xEF\xBB\xBFMetasequoia Document\n"));
    EXPECT_FALSE(parse("metasequoia document\n"));
    EXPECT_TRUE(parse("Metasequoia Document"));
    EXPECT_TRUE(parse("Meta\rsequoia Document\r\n"));  // CR bytes are dropped anywhere
}

TEST(ModelLoader, VerticesAreNumberedPerObject)
{
    const std::string doc = std::string(kHeader) +
                            "Object \"a\" {\n vertex 3 {\n 0.0 0.0 0.0\n 0.0 1.0 0.0\n 1.0 0.0 0.0\n }\n"
                            " face 1 {\n 3 V(0 1 2)\n }\n}\n"
                            "Object \"b\" {\n vertex 3 {\n -5.0 0.0 0.0\n -5.0 1.0 0.0\n -4.0 0.0 -2.5\n }\n"
                            " face 1 {\n 3 V(2 1 0) M(3)\n }\n}\n";
    auto m = parse(doc);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->vertices.size(), 6u);
    EXPECT_FLOAT_EQ(m->vertices[3].x, -4.0f);
    EXPECT_FLOAT_EQ(m->vertices[3].z, -2.5f);
    EXPECT_FLOAT_EQ(m->vertices[5].x, -5.0f);
    // No M(...) means material 0; no UV(...) means (0, 0).
    EXPECT_EQ(m->faces[0].material, 0u);
    EXPECT_EQ(m->faces[1].material, 3u);
    EXPECT_EQ(m->vertices[0].u, 0.0f);
    ASSERT_EQ(m->objects.size(), 2u);
    EXPECT_EQ(m->objects[1].firstFace, 1u);
}

TEST(ModelLoader, LinesAlsoEndAtByteFF)
{
    std::string doc = "Metasequoia Document";
    doc += '\xFF';
    doc += "Object \"a\" {\xFFvertex 3 {\xFF" "0.0 0.0 0.0\xFF" "0.0 1.0 0.0\xFF" "1.0 0.0 0.0\xFF" "}\xFF"
           "face 1 {\xFF" "3 V(0 1 2)\xFF}\xFF}";
    auto m = parse(doc);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->faces.size(), 1u);
}

std::string triangleObject(const std::string& vertexLine, const std::string& faceLine)
{
    return std::string(kHeader) + "Object \"t\" {\n vertex 3 {\n 0.0 0.0 0.0\n 0.0 1.0 0.0\n" + vertexLine +
           "\n }\n face 1 {\n" + faceLine + "\n }\n}\n";
}

TEST(ModelLoader, BadNumbersAndIndicesGiveNoModel)
{
    EXPECT_TRUE(parse(triangleObject("1.0 0.0 0.0", "3 V(0 1 2)")));
    // A face naming a vertex its object does not have.
    EXPECT_FALSE(parse(triangleObject("1.0 0.0 0.0", "3 V(0 1 3)")));
    // Numbers out of range for their conversion.
    EXPECT_FALSE(parse(triangleObject("1.0 0.0 0.0", "3 V(0 1 99999999999)")));
    EXPECT_FALSE(parse(triangleObject("1" + std::string(60, '0') + ".0 0.0 0.0", "3 V(0 1 2)")));
    EXPECT_FALSE(parse(triangleObject("--1.0 0.0 0.0", "3 V(0 1 2)")));
    EXPECT_FALSE(parse(triangleObject("1.0 0.0 0.0", "3 V(0 1 2) M(4294967296)")));
    EXPECT_FALSE(parse(std::string(kHeader) + "Material 99999999999 {\n}\n"));
}

TEST(ModelLoader, VertexLinesFindTheLeftmostThreeNumbers)
{
    const struct {
        const char* line;
        float x, y, z;
    } cases[] = {
        {"1.2.3 4.5 6.7", 2.3f, 4.5f, 6.7f},        // "1.2" is not followed by a space
        {"1-2.0 3.0 4.0", -2.0f, 3.0f, 4.0f},       // the sign belongs to the second number
        {"77x 0.5 9.0 1.0 2.0", 0.5f, 9.0f, 1.0f},
        {"--x-1.0 2.0 3.0", -1.0f, 2.0f, 3.0f},
        {"-5-1.0 2.0 3.0", -1.0f, 2.0f, 3.0f},
        {"12 1.5 2.5 3.5", 1.5f, 2.5f, 3.5f},
        {"abc -1.0 -2.0 -3.0 4.0", -1.0f, -2.0f, -3.0f},
        {"1.0 2.0 3.0.5", 1.0f, 2.0f, 3.0f},
    };
    for (const auto& c : cases) {
        auto m = parse(triangleObject(c.line, "3 V(0 1 2)"));
        ASSERT_TRUE(m) << c.line;
        EXPECT_FLOAT_EQ(m->vertices[2].x, c.x) << c.line;
        EXPECT_FLOAT_EQ(m->vertices[2].y, c.y) << c.line;
        EXPECT_FLOAT_EQ(m->vertices[2].z, c.z) << c.line;
    }
}

TEST(ModelLoader, LongRunsOfDigitsOrSignsHoldNoVertex)
{
    // Lines a damaged file may hold: one long number without a point, a long run of signs,
    // and a long number before real coordinates. They are read in one pass.
    const std::string digits(200000, '7');
    const std::string signs(200000, '-');
    for (const std::string& line : {digits, signs, digits + ".", signs + digits + " 1.0 2.0"}) {
        auto m = parse(triangleObject(line, "3 V(0 1 2)"));
        ASSERT_TRUE(m);
        ASSERT_EQ(m->vertices.size(), 3u);
        // The line keeps its place with position (0, 0, 0).
        EXPECT_EQ(m->vertices[2].x, 0.0f);
        EXPECT_EQ(m->vertices[2].y, 0.0f);
        EXPECT_EQ(m->vertices[2].z, 0.0f);
    }
    auto m = parse(triangleObject(digits + " 4.0 5.0 6.0", "3 V(0 1 2)"));
    ASSERT_TRUE(m);
    EXPECT_FLOAT_EQ(m->vertices[2].x, 4.0f);
    EXPECT_FLOAT_EQ(m->vertices[2].z, 6.0f);
}

TEST(ModelLoader, NormalsOfHugeOrDegenerateFacesStayFinite)
{
    // Coordinates whose products overflow a float: the normal is still the unit normal.
    for (const char* far : {"100000000000000000000000000000.0", "300000000000000000000000000000000000000.0"}) {
        auto m = parse(std::string(kHeader) + "Object \"a\" {\n vertex 3 {\n -" + far + " 0.0 0.0\n 0.0 " + far +
                       " 0.0\n " + far + " 0.0 0.0\n }\n face 1 {\n 3 V(0 1 2)\n }\n}\n");
        ASSERT_TRUE(m) << far;
        ASSERT_EQ(m->vertices.size(), 3u);
        for (const ModelVertex& v : m->vertices) {
            EXPECT_FLOAT_EQ(v.nx, 0.0f) << far;
            EXPECT_FLOAT_EQ(v.ny, 0.0f) << far;
            EXPECT_FLOAT_EQ(v.nz, -1.0f) << far;
        }
    }
    // A face whose corners lie on one line has no direction: a zero normal, not NaN.
    auto line = parse(triangleObject("0.0 2.0 0.0", "3 V(0 1 2)"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->vertices[0].nx, 0.0f);
    EXPECT_EQ(line->vertices[0].ny, 0.0f);
    EXPECT_EQ(line->vertices[0].nz, 0.0f);
}

std::string manyTriangles(int count)
{
    std::string doc = std::string(kHeader) + "Object \"big\" {\n vertex 3 {\n 0.0 0.0 0.0\n 0.0 1.0 0.0\n 1.0 0.0 0.0\n }\n"
                      " face " + std::to_string(count) + " {\n";
    for (int k = 0; k < count; ++k)
        doc += "3 V(0 1 2)\n";
    return doc + " }\n}\n";
}

TEST(ModelLoader, SixteenBitIndicesLimitTheModel)
{
    auto largest = parse(manyTriangles(21845));
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->vertices.size(), 65535u);
    EXPECT_EQ(largest->faces.back().index[2], 65534);
    EXPECT_FALSE(parse(manyTriangles(21846)));
}

TEST(ModelLoader, CountsBeyondTheDataStopAtItsEnd)
{
    auto m = parse(std::string(kHeader) + "Object \"x\" {\n vertex 2000000000 {\n 0.0 0.0 0.0\n");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->vertices.empty());
    auto n = parse(std::string(kHeader) + "Material 3 {\n\"m\" col(0.500 0.500 0.500 1.000) dif(1.000)\n");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->materials.size(), 1u);  // the data ends after one material line
    EXPECT_EQ(n->materials[0].diffuse, 0xFF7F7F7Fu);
}

}  // namespace
