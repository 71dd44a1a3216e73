#pragma once

#include "io/IStringWriter.h"
#include "io/TextLines.h"

namespace QlIO::Core {

// Collects units unchanged (LF stays LF).
class StringWriter final : public LineWriting<StringWriter, IStringWriter> {
public:
    void close() override { closed_ = true; }
    bool isClosed() override { return closed_; }
    bool canWrite() override { return !closed_; }
    using IWriter::write;
    // Appends the first min(count, length) units and returns that number.
    uint32_t write(std::u16string_view text, uint32_t count) override;
    uint32_t write(std::u16string_view text) override;
    uint32_t write(char16_t character) override;
    bool flush() override { return true; }
    std::u16string getString() override { return text_; }

private:
    std::u16string text_;
    bool closed_ = false;
};

} // namespace QlIO::Core
