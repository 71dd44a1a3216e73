// Feeds arbitrary bytes to the image decoder (as an image of unknown type and as a TGA) and
// to the font reader that lists family names.

#include "graphics/ImageData.h"
#include "graphics/font/FaceLibrary.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool asTga = (data[0] & 1) != 0;
    QlGraphics::ImageData image;
    if (image.load(data, size, asTga ? u"fuzz.tga" : u"fuzz.png")) {
        // Touch the last pixel: the decoded rows must cover the whole image.
        volatile std::uint8_t last = image.pixelAt(image.getWidth() - 1, image.getHeight() - 1)[3];
        (void)last;
    }
    if ((data[0] & 2) != 0)
        QlGraphics::FontSystem::familyNamesOf(std::vector<std::uint8_t>(data, data + size));
    return 0;
}
