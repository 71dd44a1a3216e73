/*
 * sqstdsystem.h - the system library (environment, clock, date, files).
 */
#ifndef _SQSTD_SYSTEMLIB_H_
#define _SQSTD_SYSTEMLIB_H_

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Registers getenv, system, clock, time, date, remove and rename in the table
 * on top of the stack. */
SQUIRREL_API SQInteger sqstd_register_systemlib(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* _SQSTD_SYSTEMLIB_H_ */
