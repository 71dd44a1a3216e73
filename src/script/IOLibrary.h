#pragma once
// The IO table: files, binary and text streams over the game's files (found through the file
// manager, so loose files, archives and the linked data block read alike), text readers and
// writers over strings, IO.Blob, and the Encoding and OpenOption enumerations; the text-file
// helpers are its prelude.
#include "script/Library.h"

#include <cstdint>
#include <memory>

namespace QlIO {
class IDecoder;
class IEncoder;
class IFileManager;
}  // namespace QlIO

namespace Quillorane {

class IOLibrary : public Library {
public:
    explicit IOLibrary(std::shared_ptr<QlIO::IFileManager> files) : files_(std::move(files)) {}
    bool onLoad(HSQUIRRELVM v) override;

private:
    std::shared_ptr<QlIO::IFileManager> files_;
};

// The decoder and encoder of an IO.Encoding value (1 Shift-JIS, 2 UTF-8, 3 UTF-16 detecting a
// byte-order mark when reading and big-endian when writing, 4 UTF-16LE, 5 UTF-16BE); empty for
// any other value.
std::shared_ptr<QlIO::IDecoder> decoderFor(std::int32_t encoding);
std::shared_ptr<QlIO::IEncoder> encoderFor(std::int32_t encoding);

}  // namespace Quillorane
