// Feeds arbitrary bytes to every decoder, directly and through a StreamReader,
// and checks that the reader's direct path and its general path agree.

#include "io/Factory.h"
#include "io/MemoryStream.h"
#include "io/TextCodec.h"
#include "OpaqueDecoder.h"

#include <cstdlib>
#include <vector>

using namespace QlIO;

namespace {

std::shared_ptr<IDecoder> makeDecoder(int kind)
{
    switch (kind % 5) {
    case 0: return createShiftJisDecoder();
    case 1: return createUtf8Decoder();
    case 2: return createUtf16Decoder();
    case 3: return createUtf16DecoderLE();
    default: return createUtf16DecoderBE();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int kind = data[0];
    std::vector<uint8_t> bytes(data + 1, data + size);
    const auto length = static_cast<uint32_t>(bytes.size());

    // Whole-buffer decoding with a range of capacities never writes past them.
    for (uint32_t capacity : {0u, 1u, 2u, 3u, 4u, length, length * 2 + 2}) {
        std::vector<char16_t> out(capacity / 2 + 1, 0xABCD);
        const uint32_t n = makeDecoder(kind)->decode(out.data(), capacity, bytes.data(), length);
        if (n > capacity || n % 2 != 0 || out[capacity / 2] != 0xABCD)
            std::abort();
    }

    // A successful UTF-8 decode encodes back to the same bytes.
    if (kind % 5 == 1 && length > 0) {
        std::u16string text;
        if (fromUtf8Strict(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), text) &&
            toUtf8(text) != std::string(bytes.begin(), bytes.end()))
            std::abort();
    }
    (void)decodeShiftJis(bytes.data(), bytes.size());

    if (bytes.empty())
        return 0;
    auto fast = createStreamReader(createMemoryStream(bytes.data(), length), makeDecoder(kind));
    std::vector<uint8_t> copy = bytes;
    auto general = createStreamReader(createMemoryStream(copy.data(), length),
                                      std::make_shared<Testing::OpaqueDecoder>(makeDecoder(kind)));
    int guard = 0;
    while ((fast->canRead() || general->canRead()) && ++guard < 100000) {
        if (fast->canRead() != general->canRead())
            std::abort();
        if ((guard % 2 ? fast->readLine() : fast->readToEnd()) !=
            (guard % 2 ? general->readLine() : general->readToEnd()))
            std::abort();
    }
    return 0;
}
