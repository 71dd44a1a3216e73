#include "graphics/world/ModelData.h"
#include "graphics/world/Transform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace QlGraphics {
namespace {

// The document is read line by line. Each line is searched for small fixed patterns of
// literals, unsigned integers ([0-9]+), unsigned decimals ([0-9]+\.[0-9]+), signed decimals
// (-*[0-9]+\.[0-9]+) and plain file names ([a-zA-Z0-9]+\.[a-zA-Z0-9]+). Each element is
// followed by a character it cannot contain, so a greedy match at each start position, tried
// from left to right, finds the same match as a backtracking regular-expression search.
enum class Kind { Literal, Int, Decimal, SignedDecimal, FileName };

struct Token {
    Kind kind;
    std::string_view text;  // literals only
};

using Pattern = std::vector<Token>;

constexpr Token lit(std::string_view s) { return {Kind::Literal, s}; }
constexpr Token kInt{Kind::Int, {}};
constexpr Token kDec{Kind::Decimal, {}};
constexpr Token kSDec{Kind::SignedDecimal, {}};
constexpr Token kName{Kind::FileName, {}};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Greedy run of characters satisfying pred, at least one.
template <class Pred>
bool run(std::string_view s, std::size_t& at, Pred pred)
{
    const std::size_t start = at;
    while (at < s.size() && pred(s[at]))
        ++at;
    return at > start;
}

bool matchToken(std::string_view s, std::size_t& at, const Token& t)
{
    switch (t.kind) {
    case Kind::Literal:
        if (s.substr(at, t.text.size()) != t.text)
            return false;
        at += t.text.size();
        return true;
    case Kind::Int:
        return run(s, at, isDigit);
    case Kind::SignedDecimal:
        while (at < s.size() && s[at] == '-')
            ++at;
        [[fallthrough]];
    case Kind::Decimal:
        if (!run(s, at, isDigit) || at >= s.size() || s[at] != '.')
            return false;
        ++at;
        return run(s, at, isDigit);
    case Kind::FileName:
        if (!run(s, at, isAlnum) || at >= s.size() || s[at] != '.')
            return false;
        ++at;
        return run(s, at, isAlnum);
    }
    return false;
}

// Where the next attempt may start after an attempt at start failed. An attempt that starts
// inside the leading run of a number or name (its '-' signs and first digits, or its first
// letters and digits) reads on greedily to the end of that run, exactly as an attempt from the
// run's first character does, and so fails the same way: those starts are skipped. This keeps
// a search linear in the line's length even for a line of nothing but digits.
std::size_t nextStart(std::string_view s, std::size_t start, const Token& first)
{
    std::size_t at = start;
    switch (first.kind) {
    case Kind::Literal:
        break;
    case Kind::SignedDecimal:
        while (at < s.size() && s[at] == '-')
            ++at;
        [[fallthrough]];
    case Kind::Int:
    case Kind::Decimal:
        while (at < s.size() && isDigit(s[at]))
            ++at;
        break;
    case Kind::FileName:
        while (at < s.size() && isAlnum(s[at]))
            ++at;
        break;
    }
    return at > start ? at : start + 1;
}

// Finds the leftmost match of the pattern in the line; groups receive the text of every
// non-literal element.
bool search(std::string_view line, const Pattern& pattern, std::vector<std::string_view>& groups)
{
    for (std::size_t start = 0; start <= line.size(); start = nextStart(line, start, pattern.front())) {
        groups.clear();
        std::size_t at = start;
        bool ok = true;
        for (const Token& t : pattern) {
            const std::size_t before = at;
            if (!matchToken(line, at, t)) {
                ok = false;
                break;
            }
            if (t.kind != Kind::Literal)
                groups.push_back(line.substr(before, at - before));
        }
        if (ok)
            return true;
    }
    return false;
}

const Pattern kMaterialChunk{lit("Material "), kInt};
const Pattern kVertexChunk{lit("vertex "), kInt};
const Pattern kFaceChunk{lit("face "), kInt};
const Pattern kVertex{kSDec, lit(" "), kSDec, lit(" "), kSDec};
const Pattern kTriangle{lit("V("), kInt, lit(" "), kInt, lit(" "), kInt, lit(")")};
const Pattern kQuad{lit("V("), kInt, lit(" "), kInt, lit(" "), kInt, lit(" "), kInt, lit(")")};
const Pattern kFaceMaterial{lit("M("), kInt, lit(")")};
const Pattern kUv3{lit("UV("), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec,
                   lit(")")};
const Pattern kUv4{lit("UV("), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec,
                   lit(" "), kDec, lit(" "), kDec, lit(")")};
const Pattern kColor{lit("col("), kDec, lit(" "), kDec, lit(" "), kDec, lit(" "), kDec, lit(")")};
const Pattern kDiffuse{lit("dif("), kDec, lit(")")};
const Pattern kAmbient{lit("amb("), kDec, lit(")")};
const Pattern kEmissive{lit("emi("), kDec, lit(")")};
const Pattern kSpecular{lit("spc("), kDec, lit(")")};
const Pattern kPower{lit("power("), kDec, lit(")")};
const Pattern kTexture{lit("tex(\""), kName, lit("\")")};

// Thrown inside the parser only, for a number that does not fit its type or an index that
// names nothing; parse() turns it into "no model".
struct BadModel {};

int toInt(std::string_view digits)
{
    long long value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            throw BadModel{};
    }
    return static_cast<int>(value);
}

float toFloat(std::string_view text)
{
    std::string s(text);
    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(s.c_str(), &end);
    // "--1.0" converts nothing; overflow and underflow report ERANGE.
    if (end == s.c_str() || errno == ERANGE || !std::isfinite(value))
        throw BadModel{};
    return value;
}

std::uint8_t toByte(float value)
{
    const float v = std::clamp(value, 0.0f, 255.0f);
    return static_cast<std::uint8_t>(v);
}

Color scaleColor(Color base, float factor)
{
    const auto channel = [&](int shift) {
        return static_cast<Color>(toByte(static_cast<float>((base >> shift) & 0xFF) * factor)) << shift;
    };
    return (base & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

ModelMaterial parseMaterial(std::string_view line)
{
    std::vector<std::string_view> g;
    ModelMaterial m;
    Color base = 0;
    if (search(line, kColor, g)) {
        base = static_cast<Color>(toByte(toFloat(g[0]) * 255.0f)) << 16 |
               static_cast<Color>(toByte(toFloat(g[1]) * 255.0f)) << 8 |
               static_cast<Color>(toByte(toFloat(g[2]) * 255.0f)) |
               static_cast<Color>(toByte(toFloat(g[3]) * 255.0f)) << 24;
    }
    if (search(line, kDiffuse, g))
        m.diffuse = scaleColor(base, toFloat(g[0]));
    if (search(line, kAmbient, g))
        m.ambient = scaleColor(base, toFloat(g[0]));
    if (search(line, kEmissive, g))
        m.emissive = scaleColor(base, toFloat(g[0]));
    if (search(line, kSpecular, g))
        m.specular = scaleColor(base, toFloat(g[0]));
    if (search(line, kPower, g))
        m.power = toFloat(g[0]) / 100.0f;
    if (search(line, kTexture, g))
        m.textures[0].assign(g[0].begin(), g[0].end());
    return m;
}

std::string objectName(std::string_view line)
{
    const auto open = line.find('"');
    if (open == std::string_view::npos)
        return {};
    const auto close = line.find('"', open + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(line.substr(open + 1, close - open - 1));
}

// normalise((p1 - p0) x (p2 - p0)), worked out in double precision: any finite float
// coordinates (up to about 3.4e38) give finite differences, products and length there, so a
// model with huge coordinates still gets unit normals. A degenerate face gets a zero normal.
Vector3 faceNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2)
{
    const double ax = double(p1.x) - p0.x, ay = double(p1.y) - p0.y, az = double(p1.z) - p0.z;
    const double bx = double(p2.x) - p0.x, by = double(p2.y) - p0.y, bz = double(p2.z) - p0.z;
    const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0) || !std::isfinite(length))
        return {};
    return {static_cast<float>(nx / length), static_cast<float>(ny / length), static_cast<float>(nz / length)};
}

struct Corner {
    std::size_t vertex;
    float u, v;
};

class Parser {
public:
    explicit Parser(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    std::shared_ptr<ModelData> run()
    {
        if (lines_.empty() || lines_[0] != "Metasequoia Document")
            return nullptr;
        model_ = std::make_shared<ModelData>();
        std::size_t i = 1;
        while (i < lines_.size()) {
            const std::string_view line = lines_[i++];
            if (search(line, kMaterialChunk, g_)) {
                const int count = toInt(g_[0]);
                for (int k = 0; k < count && i < lines_.size(); ++k)
                    model_->materials.push_back(parseMaterial(lines_[i++]));
            } else if (line.find("Object") != std::string_view::npos) {
                readObject(objectName(line), i);
            }
        }
        return model_;
    }

private:
    void readObject(std::string name, std::size_t& i)
    {
        ModelObject object{std::move(name), static_cast<std::uint32_t>(model_->faces.size()), 0};
        positions_.clear();
        while (i < lines_.size() && !search(lines_[i], kVertexChunk, g_))
            ++i;
        if (i < lines_.size()) {
            const int count = toInt(g_[0]);
            ++i;
            for (int k = 0; k < count && i < lines_.size(); ++k) {
                // A vertex line that holds no three numbers still takes its place in the
                // numbering, so the faces that follow keep naming the right vertices.
                Vector3 p;
                if (search(lines_[i++], kVertex, g_))
                    p = {toFloat(g_[0]), toFloat(g_[1]), toFloat(g_[2])};
                positions_.push_back(p);
            }
            while (i < lines_.size() && !search(lines_[i], kFaceChunk, g_))
                ++i;
            if (i < lines_.size()) {
                const int faces = toInt(g_[0]);
                ++i;
                for (int k = 0; k < faces && i < lines_.size(); ++k)
                    readFace(lines_[i++]);
            }
        }
        object.faceCount = static_cast<std::uint32_t>(model_->faces.size()) - object.firstFace;
        model_->objects.push_back(std::move(object));
    }

    void readFace(std::string_view line)
    {
        std::vector<std::string_view> uv;
        int corners = 0;
        if (search(line, kTriangle, g_))
            corners = 3;
        else if (search(line, kQuad, g_))
            corners = 4;
        else
            return;
        std::vector<std::string_view> index = g_;
        std::uint32_t material = 0;
        if (search(line, kFaceMaterial, g_))
            material = static_cast<std::uint32_t>(toInt(g_[0]));
        Corner c[4] = {};
        const bool haveUv = search(line, corners == 3 ? kUv3 : kUv4, uv);
        for (int k = 0; k < corners; ++k) {
            const int v = toInt(index[static_cast<std::size_t>(k)]);
            if (static_cast<std::size_t>(v) >= positions_.size())
                throw BadModel{};
            c[k].vertex = static_cast<std::size_t>(v);
            if (haveUv) {
                c[k].u = toFloat(uv[static_cast<std::size_t>(2 * k)]);
                c[k].v = toFloat(uv[static_cast<std::size_t>(2 * k + 1)]);
            }
        }
        addTriangle(material, c[0], c[1], c[2]);
        if (corners == 4)
            addTriangle(material, c[0], c[2], c[3]);
    }

    void addTriangle(std::uint32_t material, const Corner& a, const Corner& b, const Corner& c)
    {
        auto& vertices = model_->vertices;
        if (vertices.size() + 3 > ModelLoader::kMaxVertices)
            throw BadModel{};
        const Vector3& p0 = positions_[a.vertex];
        const Vector3& p1 = positions_[b.vertex];
        const Vector3& p2 = positions_[c.vertex];
        const Vector3 n = faceNormal(p0, p1, p2);
        ModelFace face;
        face.material = material;
        const Corner* corners[3] = {&a, &b, &c};
        for (int k = 0; k < 3; ++k) {
            const Vector3& p = positions_[corners[k]->vertex];
            face.index[k] = static_cast<std::uint16_t>(vertices.size());
            vertices.push_back({p.x, p.y, p.z, n.x, n.y, n.z, corners[k]->u, corners[k]->v});
        }
        model_->faces.push_back(face);
    }

    std::vector<std::string> lines_;
    std::vector<std::string_view> g_;
    std::vector<Vector3> positions_;
    std::shared_ptr<ModelData> model_;
};

}  // namespace

std::shared_ptr<ModelData> ModelLoader::parse(const std::uint8_t* bytes, std::size_t size)
{
    if (bytes == nullptr && size != 0)
        return nullptr;
    // Lines end at LF, at a 0xFF byte or at the end of the data; CR bytes are dropped
    // wherever they are.
    std::vector<std::string> lines(1);
    for (std::size_t k = 0; k < size; ++k) {
        const std::uint8_t b = bytes[k];
        if (b == '\r')
            continue;
        if (b == '\n' || b == 0xFF)
            lines.emplace_back();
        else
            lines.back().push_back(static_cast<char>(b));
    }
    if (lines.back().empty())
        lines.pop_back();
    try {
        return Parser(std::move(lines)).run();
    } catch (const BadModel&) {
        return nullptr;
    }
}

}  // namespace QlGraphics
