#pragma once
// Text readers: UTF-16 units from a byte stream or from a string.

#include <cstdint>
#include <string>
#include <vector>

namespace QlIO {

class IReader {
public:
    virtual ~IReader() = default;

    virtual void close() = 0;
    virtual bool isClosed() = 0;
    virtual bool canRead() = 0;
    // Up to count units.
    virtual std::u16string read(uint32_t count) = 0;
    // One UTF-16 unit, or -1 at the end (scripts see it as U+FFFF).
    virtual int32_t read() = 0;
    // Units up to the next LF (consumed, not returned) or the end.
    virtual std::u16string readLine() = 0;
    virtual std::u16string readToEnd() = 0;
    // Up to count lines, while the reader can read.
    virtual std::vector<std::u16string> readLines(uint32_t count) = 0;
    virtual std::vector<std::u16string> readAllLines() = 0;
};

} // namespace QlIO
