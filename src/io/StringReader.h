#pragma once

#include "io/IStringReader.h"
#include "io/TextLines.h"

namespace QlIO::Core {

// Reads units from its own copy of a text. No line-end folding: readLine stops
// at LF only, and a CR stays in the line.
class StringReader final : public LineReading<StringReader, IStringReader> {
public:
    explicit StringReader(std::u16string text)
        : text_(std::move(text))
    {
    }

    void close() override
    {
        closed_ = true;
        text_.clear();
        index_ = 0;
    }
    bool isClosed() override { return closed_; }
    bool canRead() override { return !closed_ && index_ < text_.size(); }
    using IReader::read;
    std::u16string read(uint32_t count) override;
    int32_t read() override { return canRead() ? text_[index_++] : -1; }
    std::u16string readLine() override;
    std::u16string readToEnd() override;

private:
    std::u16string text_;
    size_t index_ = 0;
    bool closed_ = false;
};

} // namespace QlIO::Core
