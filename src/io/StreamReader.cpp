#include "io/StreamReader.h"

#include "io/Cp932.h"
#include "io/Encodings.h"
#include "io/Factory.h"
#include "io/Utf8.h"

#include <algorithm>
#include <iterator>

namespace QlIO::Core {

StreamReader::StreamReader(std::shared_ptr<IInputStream> stream, std::shared_ptr<IDecoder> decoder)
    : stream_(std::move(stream))
{
    setDecoder(std::move(decoder));
}

bool StreamReader::setDecoder(std::shared_ptr<IDecoder> decoder)
{
    if (!decoder)
        return false;
    IDecoder* d = decoder.get();
    if (dynamic_cast<ShiftJisDecoder*>(d))
        fast_ = Fast::ShiftJis;
    else if (dynamic_cast<Utf8Decoder*>(d))
        fast_ = Fast::Utf8;
    else if (dynamic_cast<Utf16DecoderLE*>(d))
        fast_ = Fast::Utf16LE;
    else if (dynamic_cast<Utf16DecoderBE*>(d))
        fast_ = Fast::Utf16BE;
    else
        fast_ = Fast::None;
    decoder_ = std::move(decoder);
    return true;
}

void StreamReader::close()
{
    stream_->close();
    fill_ = index_ = lastRefill_ = 0;
    hasPushBack_ = hasPending_ = false;
}

bool StreamReader::canRead()
{
    return hasPending_ || hasPushBack_ || lastRefill_ > 0 || stream_->canRead();
}

bool StreamReader::refill()
{
    fill_ = stream_->read(buffer_, kBufferSize);
    index_ = 0;
    lastRefill_ = fill_;
    return fill_ > 0;
}

inline int32_t StreamReader::nextUnit()
{
    if (hasPending_) {
        hasPending_ = false;
        return pending_;
    }
    if (index_ < fill_) {
        const uint8_t* p = buffer_ + index_;
        const uint32_t left = fill_ - index_;
        switch (fast_) {
        case Fast::ShiftJis: {
            const int32_t s = Cp932::kSingle[p[0]];
            if (s >= 0) {
                ++index_;
                return s;
            }
            if (s == Cp932::kLead && left >= 2) {
                if (const char16_t u = Cp932::pair(p[0], p[1])) {
                    index_ += 2;
                    return u;
                }
            }
            break;
        }
        case Fast::Utf8: {
            if (p[0] < 0x80) {
                ++index_;
                return p[0];
            }
            uint32_t cp = 0;
            const int n = Utf8::decodeOne(p, left, cp);
            if (n > 0) {
                index_ += static_cast<uint32_t>(n);
                if (cp < 0x10000)
                    return static_cast<int32_t>(cp);
                cp -= 0x10000;
                hasPending_ = true;
                pending_ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
                return static_cast<int32_t>(0xD800 + (cp >> 10));
            }
            break;
        }
        case Fast::Utf16LE:
            if (left >= 2) {
                index_ += 2;
                return p[0] | (p[1] << 8);
            }
            break;
        case Fast::Utf16BE:
            if (left >= 2) {
                index_ += 2;
                return (p[0] << 8) | p[1];
            }
            break;
        case Fast::None:
            break;
        }
    }
    return nextUnitSlow();
}

void StreamReader::appendRun(std::u16string& text, bool stopAtLf)
{
    if (hasPending_ || hasPushBack_ || fast_ == Fast::None)
        return;
    const char16_t lf = stopAtLf ? u'\n' : u'\r';
    char16_t chunk[512];
    uint32_t n = 0;
    uint32_t i = index_;
    const uint32_t fill = fill_;
    const uint8_t* const b = buffer_;
    for (;;) {
        if (n == std::size(chunk)) {
            text.append(chunk, n);
            n = 0;
        }
        if (i >= fill)
            break;
        char16_t unit;
        uint32_t length;
        if (fast_ == Fast::ShiftJis) {
            const int32_t s = Cp932::kSingle[b[i]];
            if (s >= 0) {
                unit = static_cast<char16_t>(s);
                length = 1;
            } else if (s == Cp932::kLead && i + 1 < fill && (unit = Cp932::pair(b[i], b[i + 1])) != 0) {
                length = 2;
            } else {
                break;
            }
        } else if (fast_ == Fast::Utf8) {
            if (b[i] < 0x80) {
                unit = b[i];
                length = 1;
            } else {
                uint32_t cp = 0;
                const int l = Utf8::decodeOne(b + i, fill - i, cp);
                if (l <= 0 || cp >= 0x10000)
                    break;
                unit = static_cast<char16_t>(cp);
                length = static_cast<uint32_t>(l);
            }
        } else {
            if (i + 1 >= fill)
                break;
            unit = fast_ == Fast::Utf16LE ? static_cast<char16_t>(b[i] | (b[i + 1] << 8))
                                          : static_cast<char16_t>((b[i] << 8) | b[i + 1]);
            length = 2;
        }
        if (unit == u'\r' || unit == lf)
            break;
        chunk[n++] = unit;
        i += length;
    }
    text.append(chunk, n);
    index_ = i;
}

int32_t StreamReader::nextUnitSlow()
{
    if (!canRead())
        return -1;
    uint8_t scratch[4];
    for (uint32_t n = 1; n <= 4; ++n) {
        if (index_ >= fill_ && !refill())
            return -1;
        scratch[n - 1] = buffer_[index_++];
        // Room for two units, so that a surrogate pair can come out.
        char16_t out[2];
        const uint32_t produced = decoder_->decode(out, sizeof out, scratch, n);
        if (produced == 2)
            return out[0];
        if (produced == 4) {
            hasPending_ = true;
            pending_ = out[1];
            return out[0];
        }
    }
    return -1;
}

int32_t StreamReader::read()
{
    int32_t unit;
    if (hasPushBack_) {
        hasPushBack_ = false;
        unit = pushBack_;
    } else {
        unit = nextUnit();
    }
    if (unit != u'\r')
        return unit;
    const int32_t next = nextUnit();
    if (next == u'\n')
        return u'\n';
    if (next >= 0) {
        hasPushBack_ = true;
        pushBack_ = static_cast<char16_t>(next);
    }
    return u'\r';
}

std::u16string StreamReader::read(uint32_t count)
{
    std::u16string text;
    while (text.size() < count) {
        const int32_t unit = read();
        if (unit < 0)
            break;
        text.push_back(static_cast<char16_t>(unit));
    }
    return text;
}

std::u16string StreamReader::readLine()
{
    std::u16string line;
    for (;;) {
        appendRun(line, true);
        const int32_t unit = read();
        if (unit < 0 || unit == u'\n')
            break;
        line.push_back(static_cast<char16_t>(unit));
    }
    return line;
}

std::u16string StreamReader::readToEnd()
{
    std::u16string text;
    const uint32_t available = stream_->getAvailable();
    text.reserve(std::min<uint32_t>(available, 1u << 28) + (fill_ - index_));
    for (;;) {
        appendRun(text, false);
        const int32_t unit = read();
        if (unit < 0)
            break;
        text.push_back(static_cast<char16_t>(unit));
    }
    return text;
}

} // namespace QlIO::Core

namespace QlIO {

std::shared_ptr<IStreamReader> createStreamReader(std::shared_ptr<IInputStream> stream,
                                                  std::shared_ptr<IDecoder> decoder)
{
    if (!stream || !decoder)
        return {};
    return std::make_shared<Core::StreamReader>(std::move(stream), std::move(decoder));
}

} // namespace QlIO
