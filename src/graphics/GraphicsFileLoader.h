#pragma once
// Reads graphics files (images, models, movies, fonts) through the file manager, so files
// inside archives and the linked data block load exactly like plain files.

#include "graphics/ImageData.h"
#include "io/IFileManager.h"

#include <memory>

namespace Quillorane {

class GraphicsFileLoader : public QlGraphics::IFileLoader {
public:
    // Files smaller than this are read whole at load time; larger ones stay open as a
    // stream, so big files are not held twice in memory before decoding.
    static constexpr std::uint32_t kWholeFileLimit = 1024000;

    explicit GraphicsFileLoader(std::shared_ptr<QlIO::IFileManager> files);
    std::shared_ptr<QlGraphics::IFileData> load(std::u16string_view path) override;
    // The file manager it reads through (saving images writes through the same one).
    const std::shared_ptr<QlIO::IFileManager>& getFileManager() const { return files_; }

private:
    std::shared_ptr<QlIO::IFileManager> files_;
};

} // namespace Quillorane
