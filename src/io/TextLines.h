#pragma once
// The line operations every text reader and writer offers, written once over
// the class's own readLine/canRead or write. Derived is the final class, so
// the calls are direct.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace QlIO::Core {

template <class Derived, class Interface>
class LineReading : public Interface {
public:
    std::vector<std::u16string> readLines(uint32_t count) override
    {
        std::vector<std::u16string> lines;
        while (lines.size() < count && self().canRead())
            lines.push_back(self().readLine());
        return lines;
    }
    std::vector<std::u16string> readAllLines() override
    {
        std::vector<std::u16string> lines;
        while (self().canRead())
            lines.push_back(self().readLine());
        return lines;
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

template <class Derived, class Interface>
class LineWriting : public Interface {
public:
    uint32_t writeLine(std::u16string_view text, uint32_t count) override
    {
        const uint32_t n = self().write(text, count);
        return n + self().write(u'\n');
    }
    uint32_t writeLine(std::u16string_view text) override
    {
        const uint32_t n = self().write(text);
        return n + self().write(u'\n');
    }
    uint32_t writeLine(char16_t character) override
    {
        const uint32_t n = self().write(character);
        return n + self().write(u'\n');
    }
    uint32_t writeLine() override { return self().write(u'\n'); }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

} // namespace QlIO::Core
