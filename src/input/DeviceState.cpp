#include "input/DeviceState.h"

#include "input/sdl/SdlDeviceState.h"

namespace QlInput {

namespace {
// Never destroyed: the SDL device state unregisters from the platform's event
// pump when it goes, and at process exit that registry may already be gone.
std::shared_ptr<IDeviceState>& current() {
  static auto* state = new std::shared_ptr<IDeviceState>();
  return *state;
}
} // namespace

std::shared_ptr<IDeviceState> getDeviceState() {
  auto& s = current();
  if (!s) s = std::make_shared<Sdl::SdlDeviceState>();
  return s;
}

void setDeviceState(std::shared_ptr<IDeviceState> state) { current() = std::move(state); }

} // namespace QlInput
