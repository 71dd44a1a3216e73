#include "input/Controller.h"

#include <algorithm>

namespace QlInput {
namespace Core {

const Controller::Binding* Controller::find(std::int32_t number) const {
  auto it = bindings_.find(number);
  return it == bindings_.end() ? nullptr : &it->second;
}

bool Controller::setComponent(std::int32_t number, std::shared_ptr<IComponent> component) {
  if (!component) return false;
  bindings_[number] = Binding{std::move(component), State{}};
  return true;
}

bool Controller::removeComponent(std::int32_t number) {
  bindings_.erase(number);
  return true;
}

bool Controller::update() {
  const bool active = device_ && device_->isWindowActive(window_);
  for (auto& [number, b] : bindings_) {
    if (active) b.component->enable();
    else b.component->disable();
  }
  // Components may be shared between numbers: enable or disable all of them
  // before any is read, and read each one once, so that every number bound to
  // it sees the same value (a wheel getter counts notches since its last read).
  for (auto it = bindings_.begin(); it != bindings_.end(); ++it) {
    Binding& b = it->second;
    b.state.previous = b.state.current;
    auto same = std::find_if(bindings_.begin(), it,
                             [&](const auto& earlier) { return earlier.second.component == b.component; });
    b.state.current = same != it ? same->second.state.current : b.component->update();
  }
  return true;
}

bool Controller::isPushed(std::int32_t number) const {
  const Binding* b = find(number);
  return b && b->state.previous == 0 && b->state.current != 0;
}

bool Controller::isPressed(std::int32_t number) const {
  const Binding* b = find(number);
  return b && b->state.current != 0;
}

bool Controller::isReleased(std::int32_t number) const {
  const Binding* b = find(number);
  return b && b->state.previous != 0 && b->state.current == 0;
}

std::int32_t Controller::getValue(std::int32_t number) const {
  const Binding* b = find(number);
  return b ? b->state.current : 0;
}

bool Controller::setEffect(std::int32_t number, std::shared_ptr<IEffect> effect) {
  const Binding* b = find(number);
  return b && b->component->setEffect(std::move(effect));
}

std::shared_ptr<IEffect> Controller::getEffect(std::int32_t number) const {
  const Binding* b = find(number);
  return b ? b->component->getEffect() : nullptr;
}

std::vector<std::int32_t> Controller::getNumbers() const {
  std::vector<std::int32_t> out;
  out.reserve(bindings_.size());
  for (const auto& [number, b] : bindings_) out.push_back(number);
  return out;
}

std::shared_ptr<IComponent> Controller::getComponent(std::int32_t number) const {
  const Binding* b = find(number);
  return b ? b->component : nullptr;
}

std::map<std::int32_t, std::shared_ptr<IComponent>> Controller::getComponents() const {
  std::map<std::int32_t, std::shared_ptr<IComponent>> out;
  for (const auto& [number, b] : bindings_) out.emplace(number, b.component);
  return out;
}

} // namespace Core

std::shared_ptr<IController> createController(WindowHandle window) {
  return createController(getDeviceState(), window);
}

std::shared_ptr<IController> createController(std::shared_ptr<IDeviceState> device,
                                              WindowHandle window) {
  return std::make_shared<Core::Controller>(std::move(device), window);
}

} // namespace QlInput
