// The engine's memory budget (see sqmemory.h).
#include "sqmemory.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<size_t> g_held{0};
std::atomic<size_t> g_limit{0};
// >0 while this thread runs script code
thread_local int t_enforce = 0;
// >0 while this thread reports an error (wins over t_enforce)
thread_local int t_grant = 0;
}  // namespace

extern "C" {
void sq_setmemorylimit(size_t bytes) { g_limit.store(bytes, std::memory_order_relaxed); }
size_t sq_getmemorylimit(void) { return g_limit.load(std::memory_order_relaxed); }
size_t sq_getmemoryheld(void) { return g_held.load(std::memory_order_relaxed); }
}

namespace sqmem {

void charge(size_t n) {
  const size_t held = g_held.fetch_add(n, std::memory_order_relaxed) + n;
  const size_t limit = g_limit.load(std::memory_order_relaxed);
  if (limit && t_enforce > 0 && t_grant == 0 && (held > limit || held < n)) {
    g_held.fetch_sub(n, std::memory_order_relaxed);
    throw std::bad_alloc();
  }
}

void refund(size_t n) noexcept { g_held.fetch_sub(n, std::memory_order_relaxed); }

void* allocate(size_t n) {
  charge(n);
  void* p = std::malloc(n ? n : 1);
  if (!p) {
    refund(n);
    throw std::bad_alloc();
  }
  return p;
}

void deallocate(void* p, size_t n) noexcept {
  std::free(p);
  refund(n);
}

Enforce::Enforce() noexcept { ++t_enforce; }
Enforce::~Enforce() { --t_enforce; }

Grant::Grant() noexcept { ++t_grant; }
Grant::~Grant() { --t_grant; }

}  // namespace sqmem
