#pragma once
// Case folding for names compared without regard to letter case: plain files
// looked up on a case-sensitive file system and entries of an archive.

namespace QlIO::Core {

// Simple (one unit to one unit) upper-casing of a UTF-16 unit, the same in
// every locale. Covers ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic,
// Armenian, Roman numerals, circled letters and full-width Latin letters;
// other units are returned unchanged.
char16_t foldCase(char16_t c);

}  // namespace QlIO::Core
