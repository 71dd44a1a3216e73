#include "io/archive/TextConv.h"

#include "io/TextCodec.h"

namespace Qla {

std::u16string decodeEntryName(std::string_view bytes) { return QlIO::decodeShiftJis(bytes); }

bool isValidEntryName(std::string_view bytes) {
    std::u16string out;
    return QlIO::decodeShiftJisStrict(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

std::optional<std::string> encodeEntryName(std::u16string_view name) {
    std::string out;
    // A zero byte would end the stored name early.
    if (name.find(u'\0') != std::u16string_view::npos || !QlIO::encodeShiftJisStrict(name, out))
        return std::nullopt;
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) { return QlIO::toUtf8(text); }

std::u16string utf8ToUtf16(std::string_view text) { return QlIO::fromUtf8(text); }

}  // namespace Qla
