/*
 * sqstdio.h - the io library: files, streams, and loading/running scripts.
 */
#ifndef _SQSTDIO_H_
#define _SQSTDIO_H_

#include "squirrel.h"

#ifdef __cplusplus

/* Type tag shared by every stream class (file, blob). */
#define SQSTD_STREAM_TYPE_TAG 0x80000000

/* Interface of the objects behind the `file` and `blob` classes. */
struct SQStream {
    virtual ~SQStream() {}
    virtual SQInteger Read(void *buffer, SQInteger size) = 0;
    virtual SQInteger Write(void *buffer, SQInteger size) = 0;
    virtual SQInteger Flush() = 0;
    virtual SQInteger Tell() = 0;
    virtual SQInteger Len() = 0;
    virtual SQInteger Seek(SQInteger offset, SQInteger origin) = 0;
    virtual bool IsValid() = 0;
    virtual bool EOS() = 0;
};

extern "C" {
#endif

/* seek origins */
#define SQ_SEEK_CUR 0
#define SQ_SEEK_END 1
#define SQ_SEEK_SET 2

typedef void *SQFILE;

/* Thin file layer; names cross to the operating system as UTF-8. */
SQUIRREL_API SQFILE sqstd_fopen(const SQChar *filename, const SQChar *mode);
SQUIRREL_API SQInteger sqstd_fread(SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file);
SQUIRREL_API SQInteger sqstd_fwrite(const SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file);
SQUIRREL_API SQInteger sqstd_fseek(SQFILE file, SQInteger offset, SQInteger origin);
SQUIRREL_API SQInteger sqstd_ftell(SQFILE file);
SQUIRREL_API SQInteger sqstd_fflush(SQFILE file);
SQUIRREL_API SQInteger sqstd_fclose(SQFILE file);
SQUIRREL_API SQInteger sqstd_feof(SQFILE file);

/* Pushes a `file` instance wrapping `file`; with `own` the instance closes it
 * when it dies. */
SQUIRREL_API SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own);
/* Retrieves the SQFILE of the `file` instance at `idx`. */
SQUIRREL_API SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE *file);

/* Compiles a script file (source text in UTF-8 with or without BOM or UTF-16
 * with BOM, or a serialised closure) and pushes the resulting closure. */
SQUIRREL_API SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar *filename, SQBool printerror);
/* Loads and calls a script file with the value on top of the stack as `this`;
 * with `retval` the script's return value is pushed. */
SQUIRREL_API SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar *filename, SQBool retval, SQBool printerror);
/* Serialises the closure on top of the stack to a file. */
SQUIRREL_API SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar *filename);

/* Registers the file class, stdin/stdout/stderr, dofile, loadfile and
 * writeclosuretofile in the table on top of the stack. */
SQUIRREL_API SQRESULT sqstd_register_iolib(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* _SQSTDIO_H_ */
