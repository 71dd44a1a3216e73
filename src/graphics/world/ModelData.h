#pragma once
// Model geometry read from a Metasequoia text file: triangles with their own three vertices
// each (flat shading), and the materials the faces refer to.

#include "graphics/Engine.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace QlGraphics {

class IFileData;

// Engine vertex format 5: position, normal, texture coordinate.
struct ModelVertex {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 0;
    float u = 0, v = 0;
};
static_assert(sizeof(ModelVertex) == 32);

struct ModelFace {
    std::uint32_t material = 0;
    std::uint16_t index[3] = {0, 0, 0};
};

struct ModelMaterial {
    Color diffuse = 0, ambient = 0, specular = 0, emissive = 0;
    float power = 0;
    // File names of texture stages 0..3, relative to the model's folder; empty = none.
    std::array<std::u16string, 4> textures;
};

// One object of the file: its name and the faces it produced.
struct ModelObject {
    std::string name;
    std::uint32_t firstFace = 0, faceCount = 0;
};

class IModelData {
public:
    virtual ~IModelData() = default;
    virtual const std::vector<ModelVertex>& getVertices() const = 0;
    virtual const std::vector<ModelFace>& getFaces() const = 0;
    virtual const std::vector<ModelObject>& getObjects() const = 0;
    virtual const std::vector<ModelMaterial>& getMaterials() const = 0;
};

class ModelData : public IModelData {
public:
    const std::vector<ModelVertex>& getVertices() const override { return vertices; }
    const std::vector<ModelFace>& getFaces() const override { return faces; }
    const std::vector<ModelObject>& getObjects() const override { return objects; }
    const std::vector<ModelMaterial>& getMaterials() const override { return materials; }

    std::vector<ModelVertex> vertices;
    std::vector<ModelFace> faces;
    std::vector<ModelObject> objects;
    std::vector<ModelMaterial> materials;
};

class IModelLoader {
public:
    virtual ~IModelLoader() = default;
    // Empty when the data is not a Metasequoia text document or cannot be read.
    virtual std::shared_ptr<IModelData> load(const std::shared_ptr<IFileData>& data) = 0;
};

// Reads the Metasequoia text format ("Metasequoia Document").
class ModelLoader : public IModelLoader {
public:
    // Vertex indices are 16-bit, so a model holds at most this many vertices.
    static constexpr std::size_t kMaxVertices = 65536;

    std::shared_ptr<IModelData> load(const std::shared_ptr<IFileData>& data) override;

    // Parses the bytes of a whole file. Empty when the first line is not "Metasequoia
    // Document", a number does not fit its type, a face names a vertex its object does not
    // have, or the model would need more than kMaxVertices vertices.
    static std::shared_ptr<ModelData> parse(const std::uint8_t* bytes, std::size_t size);
};

}  // namespace QlGraphics
