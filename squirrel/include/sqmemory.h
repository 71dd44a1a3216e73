/*
 * The engine's memory budget.
 *
 * Every array, table, string, object, user data and blob the engine makes is charged to one
 * process-wide count of bytes and refunded when it is freed. With a limit set, an allocation
 * made while a script runs that would take the count past the limit is refused: the
 * interpreter raises it as the script error "out of memory", which scripts may catch. So a
 * runaway allocation loop ends with an error report instead of exhausting the machine.
 *
 * Allocations made outside script execution (by the host between frames, while an error is
 * being reported, while the VM closes) are always granted, so the error path itself never
 * runs short. The count is approximate: it covers the blocks that grow with what a script
 * holds, not the engine's fixed bookkeeping.
 */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the limit in bytes; 0 removes it. The default is no limit. */
void sq_setmemorylimit(size_t bytes);
size_t sq_getmemorylimit(void);
/* The bytes currently charged to the budget. */
size_t sq_getmemoryheld(void);

#ifdef __cplusplus
}

#include <new>

namespace sqmem {

/* Charges n bytes; throws std::bad_alloc when a script is running and the limit would be
 * passed (nothing is charged then). */
void charge(size_t n);
void refund(size_t n) noexcept;
/* A charged block of n bytes (throws as charge does, or when there is no memory) and its
 * release. */
void* allocate(size_t n);
void deallocate(void* p, size_t n) noexcept;

/* While one lives, allocations on this thread are checked against the limit (the interpreter
 * holds one while it runs script code). */
struct Enforce {
  Enforce() noexcept;
  ~Enforce();
  Enforce(const Enforce&) = delete;
  Enforce& operator=(const Enforce&) = delete;
};

/* While one lives, allocations on this thread are never refused (error reporting). */
struct Grant {
  Grant() noexcept;
  ~Grant();
  Grant(const Grant&) = delete;
  Grant& operator=(const Grant&) = delete;
};

/* A standard allocator that charges the budget. */
template <class T>
struct Allocator {
  using value_type = T;
  Allocator() noexcept = default;
  template <class U>
  Allocator(const Allocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(sqmem::allocate(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { sqmem::deallocate(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const Allocator<U>&) const noexcept { return true; }
  template <class U>
  bool operator!=(const Allocator<U>&) const noexcept { return false; }
};

}  // namespace sqmem
#endif
