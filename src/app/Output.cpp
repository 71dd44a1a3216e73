#include "app/Output.h"

#include "io/Factory.h"
#include "io/IEncoder.h"

#include <sqstdutf.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace Quillorane {

namespace {

struct ErrorFile {
    bool firstWrite = true;
    bool reported = false;
    std::u16string firstLine;
};

ErrorFile& errorFile() {
    static ErrorFile state;
    return state;
}

// Shift-JIS bytes of text with every LF written as CR LF.
std::vector<std::uint8_t> encodeForErrorFile(std::u16string_view text) {
    std::u16string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (char16_t c : text) {
        if (c == u'\n') crlf += u'\r';
        crlf += c;
    }
    static const auto encoder = QlIO::createShiftJisEncoder();
    std::vector<std::uint8_t> bytes(crlf.size() * 2 + 4);
    const auto n = encoder->encode(bytes.data(), static_cast<std::uint32_t>(bytes.size()), crlf.data(),
                                   static_cast<std::uint32_t>(crlf.size() * 2));
    bytes.resize(n);
    return bytes;
}

}  // namespace

void printToConsole(HSQUIRRELVM, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = sqstd::toUtf8(sqstd::vformat(format, args));
    va_end(args);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void printToErrorFile(HSQUIRRELVM, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    const std::u16string text = sqstd::vformat(format, args);
    va_end(args);
    writeErrorText(text);
}

void writeErrorText(std::u16string_view text) {
    ErrorFile& state = errorFile();
    if (state.firstLine.empty()) {
        // The first line that says something (a report starts with a line break).
        const auto start = text.find_first_not_of(u"\r\n");
        if (start != std::u16string_view::npos) {
            const auto rest = text.substr(start);
            state.firstLine = std::u16string(rest.substr(0, rest.find(u'\n')));
        }
    }
    state.reported = true;
    std::FILE* f = std::fopen("error.txt", state.firstWrite ? "wb" : "ab");
    state.firstWrite = false;
    if (!f) return;  // a report that cannot be written is lost, as the file is only a log
    const auto bytes = encodeForErrorFile(text);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

bool errorsReported() { return errorFile().reported; }

std::u16string firstErrorLine() { return errorFile().firstLine; }

void resetErrorFile() { errorFile() = ErrorFile{}; }

}  // namespace Quillorane
