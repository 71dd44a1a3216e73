// Internal additions to the regular-expression API of the string library.
#ifndef QL_SQSTD_REX_INTERNAL_H
#define QL_SQSTD_REX_INTERNAL_H

#include "sqstdstring.h"

#include <algorithm>

namespace sqstd {

// True when the last match or search gave up because the pattern needed
// more work than the step budget allows (the result was reported as "no
// match").
bool rexAborted(SQRex *exp);

// True when the whole of [begin, end) matches (the text may hold zeros).
bool rexMatchRange(SQRex *exp, const SQChar *begin, const SQChar *end);

} // namespace sqstd

#endif
