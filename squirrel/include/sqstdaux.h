/*
 * sqstdaux.h - standard error handlers of the script engine.
 */
#ifndef _SQSTD_AUXLIB_H_
#define _SQSTD_AUXLIB_H_

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Installs the standard runtime error handler (reports the error, the call
 * stack and the locals of every level through the VM's error function) and
 * the standard compiler error handler
 * ("SOURCE line = (L) column = (C) : error MESSAGE"). */
SQUIRREL_API void sqstd_seterrorhandlers(HSQUIRRELVM v);
/* Writes the call stack and locals report through the VM's error function. */
SQUIRREL_API void sqstd_printcallstack(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* _SQSTD_AUXLIB_H_ */
