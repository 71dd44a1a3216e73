#include "platform/Events.h"

#include <SDL2/SDL.h>

#include <utility>
#include <vector>

namespace QlPlatform {
namespace {

struct Entry {
  ObserverId id;
  EventObserver fn;
};

struct Registry {
  std::vector<Entry> entries;
  ObserverId next = 1;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

ObserverId addEventObserver(EventObserver observer) {
  Registry& r = registry();
  const ObserverId id = r.next++;
  if (r.next == 0) r.next = 1;
  r.entries.push_back({id, std::move(observer)});
  return id;
}

void removeEventObserver(ObserverId id) {
  auto& e = registry().entries;
  for (auto it = e.begin(); it != e.end(); ++it) {
    if (it->id == id) {
      e.erase(it);
      return;
    }
  }
}

int pumpEvents(const std::function<void(const SDL_Event&)>& handler) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) && !SDL_WasInit(SDL_INIT_EVENTS)) return 0;
  int n = 0;
  SDL_Event ev;
  while (SDL_PollEvent(&ev) != 0) {
    ++n;
    // Copy the list: an observer may add or remove observers while being called.
    const std::vector<Entry> observers = registry().entries;
    for (const Entry& o : observers)
      if (o.fn) o.fn(ev);
    if (handler) handler(ev);
  }
  return n;
}

}  // namespace QlPlatform
