#pragma once

#include "io/IInputStream.h"
#include "io/IStreamReader.h"
#include "io/TextLines.h"

#include <memory>

namespace QlIO::Core {

// Reads UTF-16 units from a byte stream through a decoder, one character at a
// time: the bytes of the next character are offered to the decoder one more
// at a time (1 to 4) until it yields a character. A character outside the
// Basic Multilingual Plane yields a surrogate pair, read as two units. Four
// bytes that form no character end the current text (read() gives -1) and
// are skipped. CR LF is read as LF; a lone CR is kept.
class StreamReader final : public LineReading<StreamReader, IStreamReader> {
public:
    StreamReader(std::shared_ptr<IInputStream> stream, std::shared_ptr<IDecoder> decoder);

    void close() override;
    bool isClosed() override { return stream_->isClosed(); }
    // True while the stream can read, the last refill of the buffer brought
    // bytes, or a unit is waiting.
    bool canRead() override;
    using IReader::read;
    std::u16string read(uint32_t count) override;
    int32_t read() override;
    std::u16string readLine() override;
    std::u16string readToEnd() override;
    bool setDecoder(std::shared_ptr<IDecoder> decoder) override;
    std::shared_ptr<IDecoder> getDecoder() override { return decoder_; }

private:
    // The decoders whose characters the reader can take straight from its
    // buffer; they give exactly what the general path gives.
    enum class Fast { None, ShiftJis, Utf8, Utf16LE, Utf16BE };

    int32_t nextUnit();
    // Appends characters decoded straight from the buffer while whole ones are
    // there, stopping before CR, before LF when stopAtLf, and before anything
    // else the direct path does not take; read() handles what follows.
    void appendRun(std::u16string& text, bool stopAtLf);
    int32_t nextUnitSlow();
    bool refill();

    static constexpr uint32_t kBufferSize = 4096;

    std::shared_ptr<IInputStream> stream_;
    std::shared_ptr<IDecoder> decoder_;
    Fast fast_ = Fast::None;
    uint8_t buffer_[kBufferSize];
    uint32_t fill_ = 0;
    uint32_t index_ = 0;
    uint32_t lastRefill_ = 0;
    bool hasPushBack_ = false; // a unit read after a CR that was not LF
    char16_t pushBack_ = 0;
    bool hasPending_ = false;  // the second unit of a surrogate pair
    char16_t pending_ = 0;
};

} // namespace QlIO::Core
