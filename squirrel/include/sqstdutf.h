/*
 * sqstdutf.h - text helpers for hosts of the script engine (C++ only).
 *
 * Script strings are UTF-16 (SQChar = char16_t) while the operating system,
 * terminals and files speak UTF-8. These helpers convert between the two and
 * expand the printf-style SQChar formats that the engine passes to the print
 * and error functions installed with sq_setprintfunc.
 */
#ifndef _SQSTD_UTF_H_
#define _SQSTD_UTF_H_

#include "squirrel.h"

#include <cstdarg>
#include <string>
#include <string_view>

namespace sqstd {

/* UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD. */
std::string toUtf8(std::u16string_view text);
/* UTF-8 -> UTF-16. Malformed sequences become U+FFFD, one per bad byte. */
std::u16string fromUtf8(std::string_view text);

/* Expands a printf-style format written in SQChar. Supported conversions:
 * %d %i %u %x %X %o %c (int arguments), %f %F %e %E %g %G (double),
 * %s (const SQChar *, NULL prints "(null)") and %%, with the flags "-+ #0",
 * a width and a precision. Length modifiers (l, h, z) are accepted and
 * ignored: SQInteger is int. */
std::u16string vformat(const SQChar *fmt, va_list args);
std::u16string format(const SQChar *fmt, ...);

} // namespace sqstd

#endif /* _SQSTD_UTF_H_ */
