#pragma once
// Text writers: UTF-16 units into a byte stream or into a string.

#include <cstdint>
#include <string>
#include <string_view>

namespace QlIO {

class IWriter {
public:
    virtual ~IWriter() = default;

    virtual void close() = 0;
    virtual bool isClosed() = 0;
    virtual bool canWrite() = 0;
    // Writes the first count units of text; returns the units written.
    virtual uint32_t write(std::u16string_view text, uint32_t count) = 0;
    virtual uint32_t write(std::u16string_view text) = 0;
    // 1 when written, else 0.
    virtual uint32_t write(char16_t character) = 0;
    // Each writeLine is the matching write followed by one LF; returns the sum.
    virtual uint32_t writeLine(std::u16string_view text, uint32_t count) = 0;
    virtual uint32_t writeLine(std::u16string_view text) = 0;
    virtual uint32_t writeLine(char16_t character) = 0;
    virtual uint32_t writeLine() = 0;
    virtual bool flush() = 0;
};

} // namespace QlIO
