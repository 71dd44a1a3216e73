#include "platform/Events.h"

#include <SDL2/SDL.h>

#include <csignal>
#include <deque>
#include <utility>

namespace QlPlatform {
namespace {

struct Entry {
  ObserverId id;
  EventObserver fn;
};

// A deque keeps every entry in place while more are added, so an observer may add or remove
// observers while it is being called; removal during a pump only blanks the entry.
struct Registry {
  std::deque<Entry> entries;
  ObserverId next = 1;
  int pumping = 0;
};

Registry& registry() {
  static Registry r;
  return r;
}

// The signal waiting for the next pump (0: none). Written by the handler, taken by the pump.
volatile std::sig_atomic_t pendingStop = 0;

extern "C" void onStopSignal(int sig) {
  if (pendingStop != 0) {
    // Nobody pumped since the last one: the game is not listening, so stop it the usual way.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  pendingStop = sig;
}

}  // namespace

void installStopSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old{};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction act{};
    act.sa_handler = onStopSignal;
    sigemptyset(&act.sa_mask);
    act.sa_flags = SA_RESTART;
    sigaction(sig, &act, nullptr);
  }
}

ObserverId addEventObserver(EventObserver observer) {
  Registry& r = registry();
  const ObserverId id = r.next++;
  if (r.next == 0) r.next = 1;
  r.entries.push_back({id, std::move(observer)});
  return id;
}

void removeEventObserver(ObserverId id) {
  Registry& r = registry();
  for (auto it = r.entries.begin(); it != r.entries.end(); ++it) {
    if (it->id == id) {
      if (r.pumping != 0) {
        it->id = 0;  // erased after the pump; not called from now on
      } else {
        r.entries.erase(it);
      }
      return;
    }
  }
}

int pumpEvents(const std::function<void(const SDL_Event&)>& handler) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && !SDL_WasInit(SDL_INIT_EVENTS)) return 0;
  int n = 0;
  SDL_Event ev;
  if (pendingStop != 0) {
    pendingStop = 0;
    SDL_zero(ev);
    ev.type = SDL_QUIT;
    ev.quit.timestamp = SDL_GetTicks();
    SDL_PushEvent(&ev);
  }
  Registry& r = registry();
  ++r.pumping;
  while (SDL_PollEvent(&ev) != 0) {
    ++n;
    // Observers added while this event is delivered see the next one.
    const std::size_t count = r.entries.size();
    for (std::size_t i = 0; i < count; ++i) {
      Entry& o = r.entries[i];
      if (o.id != 0 && o.fn) o.fn(ev);
    }
    if (handler) handler(ev);
  }
  if (--r.pumping == 0) std::erase_if(r.entries, [](const Entry& e) { return e.id == 0; });
  return n;
}

}  // namespace QlPlatform
