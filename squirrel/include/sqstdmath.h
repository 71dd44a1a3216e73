/*
 * sqstdmath.h - the math library.
 */
#ifndef _SQSTD_MATH_H_
#define _SQSTD_MATH_H_

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Registers the math functions and PI, RAND_MAX in the table on top of the
 * stack. */
SQUIRREL_API SQRESULT sqstd_register_mathlib(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* _SQSTD_MATH_H_ */
