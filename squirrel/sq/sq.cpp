// sq: the stand-alone script runner.
//
//   sq FILE [ARGS...]   compiles FILE (UTF-8, BOM optional; UTF-16 with BOM;
//                       or a serialised closure) and calls it with the root
//                       table as `this` and ARGS as strings in `vargv`.
//   sq                  interactive prompt reading statements from stdin;
//                       a line starting with '=' prints an expression.
//
// print() goes to stdout and error() to stderr, both as UTF-8. Uncaught
// runtime errors are reported on stderr by the standard handler; a compile
// error is reported on stderr by the compiler handler and then as
// "Error [MESSAGE]" on stdout. The exit status is 0 on success (or the
// integer the script returns), 1 on error.
#include "sqstdaux.h"
#include "sqstdblob.h"
#include "sqstdio.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "sqstdsystem.h"
#include "sqstdutf.h"
#include "squirrel.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

void writeTo(std::FILE *f, const SQChar *fmt, va_list args)
{
    std::string text = sqstd::toUtf8(sqstd::vformat(fmt, args));
    std::fwrite(text.data(), 1, text.size(), f);
}

void printOut(HSQUIRRELVM, const SQChar *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    writeTo(stdout, fmt, args);
    va_end(args);
}

void printErr(HSQUIRRELVM, const SQChar *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    writeTo(stderr, fmt, args);
    va_end(args);
}

bool quitRequested = false;

SQInteger quitFn(HSQUIRRELVM)
{
    quitRequested = true;
    return 0;
}

void registerLibraries(HSQUIRRELVM v)
{
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sqstd_register_iolib(v);
    sqstd_register_systemlib(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sqstd_seterrorhandlers(v);
}

int runFile(HSQUIRRELVM v, int argc, char **argv)
{
    std::u16string name = sqstd::fromUtf8(argv[1]);
    if (SQ_SUCCEEDED(sqstd_loadfile(v, name.c_str(), SQTrue))) {
        sq_pushroottable(v);
        for (int i = 2; i < argc; ++i) {
            std::u16string a = sqstd::fromUtf8(argv[i]);
            sq_pushstring(v, a.data(), SQInteger(a.size()));
        }
        if (SQ_FAILED(sq_call(v, SQInteger(argc - 1), SQTrue, SQTrue))) return 1;
        SQInteger code = 0;
        if (sq_gettype(v, -1) == OT_INTEGER) sq_getinteger(v, -1, &code);
        return int(code);
    }
    sq_getlasterror(v);
    const SQChar *err;
    if (SQ_SUCCEEDED(sq_getstring(v, -1, &err))) printOut(v, u"Error [%s]\n", err);
    return 1;
}

// Counts how deeply the text nests (), [] and {} outside strings and
// comments, so a statement spanning several lines is read whole.
int nesting(const std::string &s)
{
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quote) {
            if (c == '\\' && quote != '@') ++i;
            else if (c == quote || (quote == '@' && c == '"')) quote = 0;
            continue;
        }
        if (c == '@' && i + 1 < s.size() && s[i + 1] == '"') { quote = '@'; ++i; }
        else if (c == '"' || c == '\'') quote = c;
        else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') { while (i < s.size() && s[i] != '\n') ++i; }
        else if (c == '#') { while (i < s.size() && s[i] != '\n') ++i; }
        else if (c == '(' || c == '[' || c == '{') ++depth;
        else if (c == ')' || c == ']' || c == '}') --depth;
    }
    return depth;
}

int interactive(HSQUIRRELVM v)
{
    sq_pushroottable(v);
    sq_pushstring(v, u"quit", -1);
    sq_newclosure(v, quitFn, 0);
    sq_setparamscheck(v, 1, nullptr);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    std::printf("%s\n", sqstd::toUtf8(SQUIRREL_VERSION).c_str());
    std::string buffer;
    char line[4096];
    while (!quitRequested) {
        std::fputs(buffer.empty() ? "\nsq>" : "...", stdout);
        std::fflush(stdout);
        if (!std::fgets(line, sizeof line, stdin)) break;
        buffer += line;
        std::string trimmed = buffer;
        while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r')) trimmed.pop_back();
        if (!trimmed.empty() && trimmed.back() == '\\') {
            trimmed.back() = '\n';
            buffer = trimmed;
            continue;
        }
        if (nesting(buffer) > 0) continue;
        std::string code = trimmed;
        buffer.clear();
        bool show = !code.empty() && code[0] == '=';
        if (show) code = "return (" + code.substr(1) + ")";
        std::u16string src = sqstd::fromUtf8(code);
        SQInteger top = sq_gettop(v);
        if (SQ_SUCCEEDED(sq_compilebuffer(v, src.data(), SQInteger(src.size()), u"interactive console", SQTrue))) {
            sq_pushroottable(v);
            if (SQ_SUCCEEDED(sq_call(v, 1, show ? SQTrue : SQFalse, SQTrue)) && show) {
                if (SQ_SUCCEEDED(sq_tostring(v, -1))) {
                    const SQChar *s;
                    if (SQ_SUCCEEDED(sq_getstring(v, -1, &s))) printOut(v, u"%s\n", s);
                }
            }
        }
        sq_settop(v, top);
        std::fflush(stdout);
    }
    std::fputs("\n", stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "-v") == 0 || std::strcmp(argv[1], "--version") == 0)) {
        std::printf("%s\n", sqstd::toUtf8(SQUIRREL_VERSION).c_str());
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::printf("usage: sq [FILE [ARGS...]]\n"
                    "  runs FILE with the standard libraries; without FILE, reads statements\n"
                    "  from standard input ('=EXPR' prints a value, quit() leaves).\n");
        return 0;
    }
    HSQUIRRELVM v = sq_open(1024);
    if (!v) {
        std::fputs("sq: cannot create the virtual machine\n", stderr);
        return 1;
    }
    sq_setprintfunc(v, printOut, printErr);
    registerLibraries(v);
    int status = argc >= 2 ? runFile(v, argc, argv) : interactive(v);
    sq_close(v);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
