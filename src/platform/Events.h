#pragma once
#include <SDL2/SDL_events.h>

#include <functional>

// The event pump: drains SDL's queue without waiting. Every event goes first to the
// registered observers (in registration order), then to the handler of the pump call.
// Observers let device-state code (mouse wheel, joysticks) see events that the window does
// not care about; they are called on the main thread during the pump.
namespace QlPlatform {

using EventObserver = std::function<void(const SDL_Event&)>;
using ObserverId = unsigned;

// Registers an observer; the id (never 0) removes it. Safe to call from inside an observer;
// an observer added during a pump sees events from the next event on.
ObserverId addEventObserver(EventObserver observer);
void removeEventObserver(ObserverId id);

// Polls every pending event; returns how many were handled. Never blocks.
int pumpEvents(const std::function<void(const SDL_Event&)>& handler);

// Interrupt and terminate signals (Ctrl+C, `kill`) become an SDL_QUIT event at the next pump,
// which the window treats as the player closing it. A second signal that arrives before a
// pump took the first ends the process as the signal normally would, so a game stuck in a
// loop (or a long sleep) can still be stopped. Signals the process was started with ignored
// stay ignored. Idempotent; the video start-up calls it.
void installStopSignals();

}  // namespace QlPlatform
