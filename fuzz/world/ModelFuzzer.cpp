// Metasequoia text on arbitrary bytes: a model or nothing, never a crash; what comes out is
// consistent (every face names existing vertices, at most 65,536 vertices).
#include "graphics/world/ModelData.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto model = QlGraphics::ModelLoader::parse(data, size);
    if (!model)
        return 0;
    if (model->vertices.size() > QlGraphics::ModelLoader::kMaxVertices)
        std::abort();
    for (const auto& f : model->faces)
        for (std::uint16_t i : f.index)
            if (i >= model->vertices.size())
                std::abort();
    return 0;
}
