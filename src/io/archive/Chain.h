#pragma once
// Walking the header and the record chain of an archive. Every length and
// offset taken from the source is checked against the source's size before it
// is used, and the walk ends at the first record that overlaps one already
// read, so a damaged or hostile chain always terminates after reading each
// byte of the source at most once.
#include "io/archive/Format.h"
#include "io/archive/Source.h"

#include <functional>
#include <string_view>

namespace Qla {

enum class HeaderStatus { Ok, TooShort, BadMagic, BadBanner };

// Reads the 25-byte header from the start of the source and checks the magic
// and the banner (unscrambled with the password's key).
HeaderStatus readHeader(ISource& source, const Scrambler& scrambler);

struct Record {
    uint32_t position = 0;  // offset of the record's length field
    uint32_t bodySize = 0;
    const uint8_t* body = nullptr;  // unscrambled body, valid during the callback
    uint8_t type = 0;
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
    uint32_t next = 0;
    std::string_view rawName;  // the stored (Shift-JIS) name bytes
};

enum class ChainEnd {
    Terminator,      // a zero length: the regular end
    EndOfSource,     // fewer than 4 bytes left for a length
    LengthPastEnd,   // the body would run past the end of the source
    TooShort,        // body shorter than the fixed fields
    NoNameEnd,       // the name has no terminating zero inside the body
    Overlap,         // the record overlaps a record already read (a loop)
};

const char* describe(HeaderStatus status);
const char* describe(ChainEnd end);

struct ChainResult {
    ChainEnd end = ChainEnd::Terminator;
    uint32_t position = 0;  // where the walk ended (offset of the last length read)
    uint32_t records = 0;
};

// Walks the chain from the source's current position (just after the header),
// calling onRecord for every complete record in chain order.
ChainResult walkChain(ISource& source, const Scrambler& scrambler,
                      const std::function<void(const Record&)>& onRecord);

}  // namespace Qla
