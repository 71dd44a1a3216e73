#include "input/Component.h"

#include <algorithm>

namespace QlInput {
namespace Core {

bool AbstractComponent::addGetter(std::shared_ptr<IGetter> getter) {
  if (!getter) return false;
  getters_.push_back(std::move(getter));
  return true;
}

bool AbstractComponent::removeGetter(const std::shared_ptr<IGetter>& getter) {
  if (!getter) return false;
  auto it = std::find(getters_.begin(), getters_.end(), getter);
  if (it != getters_.end()) getters_.erase(it);
  return true;
}

bool AbstractComponent::removeGetterAt(std::size_t index) {
  if (index >= getters_.size()) return false;
  getters_.erase(getters_.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

bool AbstractComponent::clearGetters() {
  getters_.clear();
  return true;
}

std::int32_t AbstractComponent::update() {
  std::uint32_t sum = 0;  // wraps like the 32-bit value it is
  for (const auto& g : getters_) sum += static_cast<std::uint32_t>(g->get());
  auto value = static_cast<std::int32_t>(sum);
  if (effect_) value = effect_->apply(value);
  return store(enabled_, value);
}

bool AbstractComponent::setEffect(std::shared_ptr<IEffect> effect) {
  effect_ = std::move(effect);
  return true;
}

std::int32_t FixedComponent::store(bool enabled, std::int32_t value) {
  if (enabled) stored_ = value;
  return stored_;
}

std::int32_t VolatileComponent::store(bool enabled, std::int32_t value) {
  return enabled ? value : stored_;
}

} // namespace Core

std::shared_ptr<IComponent> createFixedComponent() {
  return std::make_shared<Core::FixedComponent>();
}

std::shared_ptr<IComponent> createVolatileComponent(std::int32_t restingValue) {
  return std::make_shared<Core::VolatileComponent>(restingValue);
}

} // namespace QlInput
