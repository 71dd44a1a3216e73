/*
 * sqstdblob.h - the blob library (a growable byte buffer usable as a stream).
 */
#ifndef _SQSTDBLOB_H_
#define _SQSTDBLOB_H_

#include "squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates a blob of `size` zeroed bytes, pushes it and returns its data. */
SQUIRREL_API SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size);
/* Retrieves the data pointer of the blob at `idx`. */
SQUIRREL_API SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer *ptr);
/* Size in bytes of the blob at `idx`, or -1 if it is not a blob. */
SQUIRREL_API SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx);
/* Registers the blob class and casti2f, castf2i, swap2, swap4, swapfloat in
 * the table on top of the stack. */
SQUIRREL_API SQRESULT sqstd_register_bloblib(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* _SQSTDBLOB_H_ */
