#pragma once
// The key-name table: "key.enter", "mouse.left", "joy0.btn1" ... each name makes
// a new getter for one device value.

#include "input/Component.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace QlInput {

class KeyNameTable {
public:
  using DeviceSource = std::function<std::shared_ptr<IDeviceState>()>;
  using Factory = std::function<std::shared_ptr<IGetter>(const std::shared_ptr<IDeviceState>&)>;

  // device names the device state each new getter reads; mainWindow names the
  // window whose client coordinates "mouse.x" and "mouse.y" report.
  KeyNameTable(DeviceSource device, WindowSource mainWindow);

  // A new getter for name; empty when the name is not in the table.
  std::shared_ptr<IGetter> createGetter(const std::u16string& name) const;
  bool contains(const std::u16string& name) const { return factories_.count(name) != 0; }
  std::size_t size() const { return factories_.size(); }
  std::vector<std::u16string> names() const;

  // Adds a new getter for each known name to component, in order; names not in
  // the table are skipped. Returns how many getters were added.
  std::size_t addGetters(IComponent& component, const std::vector<std::u16string>& names) const;

private:
  DeviceSource device_;
  std::unordered_map<std::u16string, Factory> factories_;
};

// The process-wide table, built on first use: it reads the process-wide device
// state (getDeviceState) and reports "mouse.x"/"mouse.y" in the client
// coordinates of the current main window.
const KeyNameTable& getKeyNameTable();

} // namespace QlInput
