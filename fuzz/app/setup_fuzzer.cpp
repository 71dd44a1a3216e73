// Fuzzes the setup reader: the input is setup.nut text (UTF-8), compiled and run on the
// reader's own VM, with every key read back whatever the script left in it. The reader has no
// step limit (a setup file that loops forever keeps the game from starting, as it would
// anywhere), so inputs that can loop are left out.
#include "app/Setup.h"

#include <sqstdutf.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const char* loop : {"while", "for", "do", "function", "@", "resume", "suspend"})
        if (bytes.find(loop) != std::string_view::npos) return 0;
    Quillorane::SetupSettings settings;
    std::string why;
    Quillorane::readSetupText(sqstd::fromUtf8(bytes), settings, &why);
    return 0;
}
