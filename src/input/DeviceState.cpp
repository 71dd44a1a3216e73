#include "input/DeviceState.h"

#include "input/sdl/SdlDeviceState.h"

namespace QlInput {

namespace {
std::shared_ptr<IDeviceState>& current() {
  static std::shared_ptr<IDeviceState> state;
  return state;
}
} // namespace

std::shared_ptr<IDeviceState> getDeviceState() {
  auto& s = current();
  if (!s) s = std::make_shared<Sdl::SdlDeviceState>();
  return s;
}

void setDeviceState(std::shared_ptr<IDeviceState> state) { current() = std::move(state); }

} // namespace QlInput
