// Models read through the graphics context: the file loader for the model file, the model
// loader for its text and the image loaders for its textures.
#include "graphics/world/Model.h"

#include "graphics/Context.h"
#include "graphics/ImageData.h"
#include "graphics/Images.h"

namespace QlGraphics {

std::shared_ptr<IModel> createModel(const IModelData& data, std::u16string_view directory)
{
    auto context = getContext();
    if (!context || !getScreenCanvas() || !context->getEngine())
        return nullptr;
    return createModel(*context->getEngine(), data, directory,
                       [](const std::u16string& path) { return loadTexture(path); });
}

std::shared_ptr<IModelData> ModelLoader::load(const std::shared_ptr<IFileData>& data)
{
    if (!data)
        return nullptr;
    const std::vector<std::uint8_t> bytes = readFileData(*data);
    if (bytes.size() != data->getSize())
        return nullptr;
    return parse(bytes.data(), bytes.size());
}

std::shared_ptr<IModel> loadModel(std::u16string_view path)
{
    auto context = getContext();
    if (!context)
        return nullptr;
    auto fileLoader = context->getFileLoader();
    auto modelLoader = context->getModelLoader();
    if (!fileLoader || !modelLoader)
        return nullptr;
    auto file = fileLoader->load(path);
    if (!file)
        return nullptr;
    auto data = modelLoader->load(file);
    if (!data)
        return nullptr;
    const auto slash = path.find_last_of(u"/\\");
    const std::u16string_view directory = slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(0, slash);
    return createModel(*data, directory);
}

}  // namespace QlGraphics
