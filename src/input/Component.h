#pragma once
// Components sum the values of their getters; a controller keeps one per input number.

#include "input/Getters.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace QlInput {

// A transform applied to a component's summed value before it is stored.
class IEffect {
public:
  virtual ~IEffect() = default;
  virtual std::int32_t apply(std::int32_t value) = 0;
};

using GetterList = std::vector<std::shared_ptr<IGetter>>;

class IComponent {
public:
  virtual ~IComponent() = default;
  virtual void enable() = 0;
  virtual void disable() = 0;
  // False for an empty pointer; the same getter may be added more than once.
  virtual bool addGetter(std::shared_ptr<IGetter> getter) = 0;
  // Removes the first occurrence of that very getter; false only for an empty pointer.
  virtual bool removeGetter(const std::shared_ptr<IGetter>& getter) = 0;
  // False when index >= the number of getters.
  virtual bool removeGetterAt(std::size_t index) = 0;
  virtual bool clearGetters() = 0;
  // Reads every getter and returns the component's value for this frame.
  virtual std::int32_t update() = 0;
  virtual bool setEffect(std::shared_ptr<IEffect> effect) = 0;
  virtual std::shared_ptr<IEffect> getEffect() const = 0;
  virtual std::size_t getGetterCount() const = 0;
  virtual GetterList getGetters() const = 0;
  // What update() returns for a summed value, given whether the component is enabled.
  virtual std::int32_t store(bool enabled, std::int32_t value) = 0;
};

namespace Core {

class AbstractComponent : public IComponent {
public:
  void enable() override { enabled_ = true; }
  void disable() override { enabled_ = false; }
  bool addGetter(std::shared_ptr<IGetter> getter) override;
  bool removeGetter(const std::shared_ptr<IGetter>& getter) override;
  bool removeGetterAt(std::size_t index) override;
  bool clearGetters() override;
  std::int32_t update() override;
  bool setEffect(std::shared_ptr<IEffect> effect) override;
  std::shared_ptr<IEffect> getEffect() const override { return effect_; }
  std::size_t getGetterCount() const override { return getters_.size(); }
  GetterList getGetters() const override { return getters_; }
  bool isEnabled() const { return enabled_; }

protected:
  explicit AbstractComponent(std::int32_t stored) : stored_(stored) {}
  std::int32_t stored_;

private:
  bool enabled_ = true;
  GetterList getters_;
  std::shared_ptr<IEffect> effect_;
};

// Keeps its last value while disabled (an axis freezes while the window is inactive).
class FixedComponent final : public AbstractComponent {
public:
  FixedComponent() : AbstractComponent(0) {}
  std::int32_t store(bool enabled, std::int32_t value) override;
};

// Falls back to its resting value while disabled (a button is released while
// the window is inactive).
class VolatileComponent final : public AbstractComponent {
public:
  explicit VolatileComponent(std::int32_t restingValue) : AbstractComponent(restingValue) {}
  std::int32_t store(bool enabled, std::int32_t value) override;
};

} // namespace Core

std::shared_ptr<IComponent> createFixedComponent();
std::shared_ptr<IComponent> createVolatileComponent(std::int32_t restingValue);

} // namespace QlInput
