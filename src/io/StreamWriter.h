#pragma once

#include "io/IOutputStream.h"
#include "io/IStreamWriter.h"
#include "io/TextLines.h"

#include <memory>

namespace QlIO::Core {

// Writes text into a byte stream through an encoder, one character at a time
// (a surrogate pair is handed to the encoder as one character). LF is written
// as CR LF. No byte-order mark is written.
class StreamWriter final : public LineWriting<StreamWriter, IStreamWriter> {
public:
    StreamWriter(std::shared_ptr<IOutputStream> stream, std::shared_ptr<IEncoder> encoder);

    void close() override { stream_->close(); }
    bool isClosed() override { return stream_->isClosed(); }
    bool canWrite() override { return stream_->canWrite(); }
    using IWriter::write;
    // 0 when count exceeds the text's length; otherwise the units written,
    // stopping at the first one that fails.
    uint32_t write(std::u16string_view text, uint32_t count) override;
    uint32_t write(std::u16string_view text) override;
    uint32_t write(char16_t character) override;
    bool flush() override { return stream_->flush(); }
    bool setEncoder(std::shared_ptr<IEncoder> encoder) override;
    std::shared_ptr<IEncoder> getEncoder() override { return encoder_; }

private:
    std::shared_ptr<IOutputStream> stream_;
    std::shared_ptr<IEncoder> encoder_;
    // Set for the encoders that write ASCII as single identical bytes, so the
    // writer can copy those itself.
    bool asciiIdentity_ = false;
};

} // namespace QlIO::Core
