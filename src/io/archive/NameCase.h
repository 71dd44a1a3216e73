#pragma once
// Case and separator folding used to look names up in an archive.
#include <string>
#include <string_view>

namespace Qla {

// Simple (one unit to one unit) upper-casing of a UTF-16 unit, the same in
// every locale. Covers ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic,
// Armenian, Roman numerals, circled letters and full-width Latin letters;
// other units are returned unchanged.
char16_t upperUnit(char16_t c);

// The lookup key of a name: every '/' becomes '\' and every unit is upper-cased.
std::u16string foldName(std::u16string_view name);

}  // namespace Qla
