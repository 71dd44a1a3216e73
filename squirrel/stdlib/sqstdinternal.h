// Shared pieces of the standard libraries (not part of the public API).
#ifndef QL_SQSTD_INTERNAL_H
#define QL_SQSTD_INTERNAL_H

#include "squirrel.h"
#include "sqmemory.h"
#include "sqstdio.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sqstd {

// Type tags: every stream class carries the stream bit, so the shared
// stream methods accept blobs and files alike.
inline SQUserPointer tagOf(uintptr_t bits) { return reinterpret_cast<SQUserPointer>(bits); }
constexpr uintptr_t kStreamTag = 0x80000000u;
constexpr uintptr_t kFileTag = kStreamTag | 0x1u;
constexpr uintptr_t kBlobTag = kStreamTag | 0x2u;
constexpr uintptr_t kRegexpTag = 0x40000003u;

// Registry keys of the classes, so C code can create instances.
inline const SQChar *kStreamClassKey = u"std_stream";
inline const SQChar *kBlobClassKey = u"std_blob";
inline const SQChar *kFileClassKey = u"std_file";

// A growable in-memory stream: the object behind `blob`.
class Blob final : public SQStream {
public:
    explicit Blob(SQInteger size);
    // nullptr when the memory cannot be had
    static Blob *create(SQInteger size);
    SQInteger Read(void *buffer, SQInteger size) override;
    SQInteger Write(void *buffer, SQInteger size) override;
    SQInteger Flush() override { return 0; }
    SQInteger Tell() override { return pos_; }
    SQInteger Len() override { return SQInteger(data_.size()); }
    SQInteger Seek(SQInteger offset, SQInteger origin) override;
    bool IsValid() override { return true; }
    bool EOS() override { return pos_ == SQInteger(data_.size()); }
    bool Resize(SQInteger size);
    unsigned char *Data() { return data_.data(); }
    SQInteger Size() const { return SQInteger(data_.size()); }

private:
    std::vector<unsigned char, sqmem::Allocator<unsigned char>> data_;  // charged to the memory budget
    SQInteger pos_ = 0;
};

// Registers `funcs` (terminated by a null name) in the table or class at -1.
void registerFunctions(HSQUIRRELVM v, const SQRegFunction *funcs, bool isClass);

// Creates (once per VM) the `std_stream` base class in the registry, then a
// class derived from it with `methods`, tagged `tag`, stored in the registry
// under `regKey` and bound to `name` in the table on top of the stack.
SQRESULT declareStream(HSQUIRRELVM v, const SQChar *name, uintptr_t tag, const SQChar *regKey,
                       const SQRegFunction *methods, const SQRegFunction *globals);

// Pushes the class stored in the registry under `key`; false if absent.
bool pushRegistryClass(HSQUIRRELVM v, const SQChar *key);

// Attaches the new stream `s` to the instance at 1, which the caller has
// checked belongs to the stream class tagged `tag`, and has the instance free
// it when released. A stream already attached (a constructor called a second
// time) is freed first so it is not leaked. Returns 0, or raises `failMsg`
// after freeing `s` when the instance cannot take it.
SQInteger attachStream(HSQUIRRELVM v, uintptr_t tag, SQStream *s, const SQChar *failMsg);

// Releases an SQStream owned by a script instance.
SQInteger releaseStream(SQUserPointer p, SQInteger size);

// Opens a file whose SQChar name is handed to the operating system in UTF-8.
std::FILE *openFile(const SQChar *name, const SQChar *mode);

} // namespace sqstd

#endif
