#pragma once
// The controller: numbered game inputs, refreshed once per frame by the script.

#include "input/Component.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace QlInput {

class IController {
public:
  virtual ~IController() = default;
  // False for an empty component; otherwise binds it (replacing any earlier one)
  // and resets the number's previous and current values to 0.
  virtual bool setComponent(std::int32_t number, std::shared_ptr<IComponent> component) = 0;
  virtual bool removeComponent(std::int32_t number) = 0;
  // Enables every component when the controller's window is active (disables
  // them otherwise), then moves each number's current value to previous and
  // reads a new current value, in ascending order of number.
  virtual bool update() = 0;
  virtual bool isPushed(std::int32_t number) const = 0;    // previous 0, current not 0
  virtual bool isPressed(std::int32_t number) const = 0;   // current not 0
  virtual bool isReleased(std::int32_t number) const = 0;  // previous not 0, current 0
  virtual std::int32_t getValue(std::int32_t number) const = 0;
  virtual bool setEffect(std::int32_t number, std::shared_ptr<IEffect> effect) = 0;
  virtual std::shared_ptr<IEffect> getEffect(std::int32_t number) const = 0;
  virtual std::vector<std::int32_t> getNumbers() const = 0;
  virtual std::shared_ptr<IComponent> getComponent(std::int32_t number) const = 0;
  virtual std::map<std::int32_t, std::shared_ptr<IComponent>> getComponents() const = 0;
};

namespace Core {

class Controller final : public IController {
public:
  Controller(std::shared_ptr<IDeviceState> device, WindowHandle window)
      : device_(std::move(device)), window_(window) {}
  bool setComponent(std::int32_t number, std::shared_ptr<IComponent> component) override;
  bool removeComponent(std::int32_t number) override;
  bool update() override;
  bool isPushed(std::int32_t number) const override;
  bool isPressed(std::int32_t number) const override;
  bool isReleased(std::int32_t number) const override;
  std::int32_t getValue(std::int32_t number) const override;
  bool setEffect(std::int32_t number, std::shared_ptr<IEffect> effect) override;
  std::shared_ptr<IEffect> getEffect(std::int32_t number) const override;
  std::vector<std::int32_t> getNumbers() const override;
  std::shared_ptr<IComponent> getComponent(std::int32_t number) const override;
  std::map<std::int32_t, std::shared_ptr<IComponent>> getComponents() const override;
  WindowHandle getWindow() const { return window_; }

private:
  struct State {
    std::int32_t previous = 0, current = 0;
  };
  struct Binding {
    std::shared_ptr<IComponent> component;
    State state;
  };
  const Binding* find(std::int32_t number) const;

  std::shared_ptr<IDeviceState> device_;
  WindowHandle window_;
  std::map<std::int32_t, Binding> bindings_;
};

} // namespace Core

// A controller for window that reads the process-wide device state.
std::shared_ptr<IController> createController(WindowHandle window);
std::shared_ptr<IController> createController(std::shared_ptr<IDeviceState> device,
                                              WindowHandle window);

} // namespace QlInput
