/*
 * sqstdstring.h - the string library: format, strip/split and regular
 * expressions.
 */
#ifndef _SQSTD_STRING_H_
#define _SQSTD_STRING_H_

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int SQRexBool;
typedef struct SQRex SQRex;

/* A matched range of the searched text. */
typedef struct {
    const SQChar *begin;
    SQInteger len;
} SQRexMatch;

/* Compiles a regular expression; on failure returns NULL and, if `error` is
 * not NULL, points it at a description of the problem. */
SQUIRREL_API SQRex *sqstd_rex_compile(const SQChar *pattern, const SQChar **error);
SQUIRREL_API void sqstd_rex_free(SQRex *exp);
/* True if the whole of `text` matches. */
SQUIRREL_API SQBool sqstd_rex_match(SQRex *exp, const SQChar *text);
/* Finds the first match in `text`; reports its range. */
SQUIRREL_API SQBool sqstd_rex_search(SQRex *exp, const SQChar *text, const SQChar **out_begin,
                                     const SQChar **out_end);
/* Finds the first match inside [text_begin, text_end). */
SQUIRREL_API SQBool sqstd_rex_searchrange(SQRex *exp, const SQChar *text_begin, const SQChar *text_end,
                                          const SQChar **out_begin, const SQChar **out_end);
/* Number of sub-expressions, the whole match counting as the first. */
SQUIRREL_API SQInteger sqstd_rex_getsubexpcount(SQRex *exp);
/* Range of sub-expression `n` of the last successful match or search. */
SQUIRREL_API SQBool sqstd_rex_getsubexp(SQRex *exp, SQInteger n, SQRexMatch *subexp);

/* Formats like the script function format(): the format string is at
 * `nformatstringidx`, the values follow it on the stack. `output` points into
 * the VM's scratch pad (valid until the next API call using it). */
SQUIRREL_API SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger *outlen,
                                   SQChar **output);

/* Registers format, strip, lstrip, rstrip, split and the regexp class in the
 * table on top of the stack. */
SQUIRREL_API SQRESULT sqstd_register_stringlib(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* _SQSTD_STRING_H_ */
