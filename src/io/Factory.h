#pragma once
// Creation functions of the IO module. Each returns an empty pointer on failure.

#include "io/IDecoder.h"
#include "io/IEncoder.h"
#include "io/IFileManager.h"
#include "io/IFileStorage.h"
#include "io/IIoStream.h"
#include "io/IStreamReader.h"
#include "io/IStreamWriter.h"
#include "io/IStringReader.h"
#include "io/IStringWriter.h"

#include <cstdint>
#include <memory>
#include <string>

namespace QlIO {

// A storage over the plain file system (paths relative to the current directory).
std::shared_ptr<IFileStorage> createFileStorage();
// A storage over the plain files below a folder (absolute, or relative to the
// current directory now); relative paths given to it are taken against that folder.
// Empty if the folder cannot be made absolute.
std::shared_ptr<IFileStorage> createFileStorage(std::u16string_view folder);
// A file manager with the given default storage; empty if that storage is empty.
std::shared_ptr<IFileManager> createFileManager(std::shared_ptr<IFileStorage> defaultStorage);
// A stream over a borrowed block (not copied, never grown); empty for a null block or size 0.
std::shared_ptr<IIoStream> createMemoryStream(uint8_t* block, uint32_t size);
// Empty if either pointer is empty.
std::shared_ptr<IStreamReader> createStreamReader(std::shared_ptr<IInputStream> stream,
                                                  std::shared_ptr<IDecoder> decoder);
std::shared_ptr<IStreamWriter> createStreamWriter(std::shared_ptr<IOutputStream> stream,
                                                  std::shared_ptr<IEncoder> encoder);
std::shared_ptr<IStringReader> createStringReader(std::u16string text);
std::shared_ptr<IStringWriter> createStringWriter();

std::shared_ptr<IDecoder> createShiftJisDecoder();
std::shared_ptr<IEncoder> createShiftJisEncoder();
std::shared_ptr<IDecoder> createUtf8Decoder();
std::shared_ptr<IEncoder> createUtf8Encoder();
// Detects a byte-order mark; big-endian until one is seen.
std::shared_ptr<IDecoder> createUtf16Decoder();
std::shared_ptr<IDecoder> createUtf16DecoderLE();
std::shared_ptr<IDecoder> createUtf16DecoderBE();
std::shared_ptr<IEncoder> createUtf16EncoderLE();
std::shared_ptr<IEncoder> createUtf16EncoderBE();

} // namespace QlIO
