#include "io/Encodings.h"
#include "io/Factory.h"
#include "io/StreamWriter.h"
#include "io/StringReader.h"
#include "io/StringWriter.h"
#include "io/Utf8.h"

#include <algorithm>

namespace QlIO::Core {

// StringReader

std::u16string StringReader::read(uint32_t count)
{
    if (closed_)
        return {};
    const size_t n = std::min<size_t>(count, text_.size() - index_);
    std::u16string out = text_.substr(index_, n);
    index_ += n;
    return out;
}

std::u16string StringReader::readLine()
{
    if (!canRead())
        return {};
    const size_t end = text_.find(u'\n', index_);
    std::u16string line;
    if (end == std::u16string::npos) {
        line = text_.substr(index_);
        index_ = text_.size();
    } else {
        line = text_.substr(index_, end - index_);
        index_ = end + 1;
    }
    return line;
}

std::u16string StringReader::readToEnd()
{
    if (!canRead())
        return {};
    std::u16string out = text_.substr(index_);
    index_ = text_.size();
    return out;
}

// StreamWriter

StreamWriter::StreamWriter(std::shared_ptr<IOutputStream> stream, std::shared_ptr<IEncoder> encoder)
    : stream_(std::move(stream))
{
    setEncoder(std::move(encoder));
}

bool StreamWriter::setEncoder(std::shared_ptr<IEncoder> encoder)
{
    if (!encoder)
        return false;
    asciiIdentity_ = dynamic_cast<ShiftJisEncoder*>(encoder.get()) || dynamic_cast<Utf8Encoder*>(encoder.get());
    encoder_ = std::move(encoder);
    return true;
}

uint32_t StreamWriter::write(char16_t character)
{
    return write(std::u16string_view(&character, 1), 1);
}

uint32_t StreamWriter::write(std::u16string_view text, uint32_t count)
{
    if (count > text.size())
        return 0;
    // Characters are encoded one at a time (a character is written whole or
    // not at all) and collected into a batch that goes to the stream in one write.
    constexpr uint32_t kMaxCharacters = 1024;
    uint8_t batch[kMaxCharacters * 8];
    uint32_t ends[kMaxCharacters];  // batch offset after each character
    uint8_t widths[kMaxCharacters]; // units of each character
    uint32_t written = 0;
    bool stop = false;
    while (written < count && !stop) {
        if (!stream_->canWrite())
            break;
        const uint32_t room = stream_->getRemaining();
        uint32_t used = 0, characters = 0, units = 0;
        while (written + units < count && characters < kMaxCharacters) {
            const uint32_t i = written + units;
            const char16_t unit = text[i];
            uint32_t width = 1;
            uint32_t bytes;
            if (unit < 0x80 && unit != u'\n' && asciiIdentity_) {
                batch[used] = static_cast<uint8_t>(unit);
                bytes = 1;
            } else if (unit == u'\n') {
                const char16_t crUnit = u'\r', lfUnit = u'\n';
                const uint32_t cr = encoder_->encode(batch + used, 4, &crUnit, 2);
                const uint32_t lf = cr ? encoder_->encode(batch + used + cr, 4, &lfUnit, 2) : 0;
                bytes = lf ? cr + lf : 0;
            } else if (Utf8::isHighSurrogate(unit) && i + 1 < count && Utf8::isLowSurrogate(text[i + 1])) {
                width = 2;
                bytes = encoder_->encode(batch + used, 8, text.data() + i, 4);
            } else {
                bytes = encoder_->encode(batch + used, 4, &unit, 2);
            }
            if (bytes == 0 || uint64_t(used) + bytes > room) {
                stop = true; // a character that cannot be written whole ends the text
                break;
            }
            used += bytes;
            ends[characters] = used;
            widths[characters] = static_cast<uint8_t>(width);
            ++characters;
            units += width;
        }
        if (used == 0)
            break;
        const uint32_t out = stream_->write(batch, used);
        if (out == used) {
            written += units;
            continue;
        }
        // Count only the characters that went out whole.
        for (uint32_t c = 0; c < characters && ends[c] <= out; ++c)
            written += widths[c];
        break;
    }
    return written;
}

uint32_t StreamWriter::write(std::u16string_view text)
{
    return write(text, static_cast<uint32_t>(text.size()));
}

// StringWriter

uint32_t StringWriter::write(std::u16string_view text, uint32_t count)
{
    if (closed_)
        return 0;
    const size_t n = std::min<size_t>(count, text.size());
    text_.append(text.substr(0, n));
    return static_cast<uint32_t>(n);
}

uint32_t StringWriter::write(std::u16string_view text)
{
    return write(text, static_cast<uint32_t>(text.size()));
}

uint32_t StringWriter::write(char16_t character)
{
    if (closed_)
        return 0;
    text_.push_back(character);
    return 1;
}

} // namespace QlIO::Core

namespace QlIO {

std::shared_ptr<IStreamWriter> createStreamWriter(std::shared_ptr<IOutputStream> stream,
                                                  std::shared_ptr<IEncoder> encoder)
{
    if (!stream || !encoder)
        return {};
    return std::make_shared<Core::StreamWriter>(std::move(stream), std::move(encoder));
}

std::shared_ptr<IStringReader> createStringReader(std::u16string text)
{
    return std::make_shared<Core::StringReader>(std::move(text));
}

std::shared_ptr<IStringWriter> createStringWriter()
{
    return std::make_shared<Core::StringWriter>();
}

} // namespace QlIO
