#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

namespace QlPlatform {
class NativeWindow;
class InstanceLock;
}  // namespace QlPlatform

// The game's single top-level window, its event handlers and the per-frame event pump.
namespace QlFrame {

// The system handle of a window: the platform window object (null when there is none).
using WindowHandle = QlPlatform::NativeWindow*;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

// Message numbers seen by handlers. Close and Destroy keep their classic values; every other
// event of the window arrives as Event with wParam = SDL event type and lParam = the address
// of the SDL_Event (valid during the call only).
enum Message : std::uint32_t {
  Destroy = 0x0002,
  Close = 0x0010,
  Event = 0x8001,
};

// Result of every handler: Default lets the search go on, Handled stops it with value.
struct EventResult {
  enum Kind : std::int32_t { Default = 1, Handled = 2 };
  std::int32_t value = 0;
  std::int32_t kind = Default;

  static constexpr EventResult makeDefault(std::int32_t v = 0) { return {v, Default}; }
  static constexpr EventResult makeHandled(std::int32_t v = 0) { return {v, Handled}; }
  bool isHandled() const { return kind == Handled; }
};

class IComponent {
 public:
  virtual ~IComponent() = default;
  virtual EventResult onMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
  // Called when a window takes or drops the component; nothing by default.
  virtual void attach(WindowHandle) {}
  virtual void detach() {}
};

class IWindow;
using CloseHandler = std::function<EventResult(IWindow&)>;
using DestroyHandler = std::function<EventResult(IWindow&)>;
using MessageHandler = std::function<EventResult(IWindow&, WindowHandle, std::uint32_t, WParam, LParam)>;

class IWindow : public IComponent {
 public:
  virtual void close() = 0;
  virtual bool isDestroyed() const = 0;
  virtual bool setVisible(bool visible) = 0;
  virtual bool isVisible() const = 0;
  virtual bool setTitle(const std::u16string& title) = 0;
  virtual std::u16string getTitle() const = 0;
  virtual bool setPosition(int x, int y) = 0;
  virtual void setX(int x) = 0;
  virtual int getX() const = 0;
  virtual void setY(int y) = 0;
  virtual int getY() const = 0;
  virtual bool setSize(int width, int height) = 0;
  virtual int getWidth() const = 0;
  virtual int getHeight() const = 0;
  virtual WindowHandle getHandle() const = 0;
  virtual bool setComponent(std::shared_ptr<IComponent> component) = 0;
  virtual std::shared_ptr<IComponent> getComponent() const = 0;
  virtual std::shared_ptr<DestroyHandler> addDestroyHandler(std::shared_ptr<DestroyHandler> handler) = 0;
  virtual std::shared_ptr<DestroyHandler> addDestroyHandler(DestroyHandler handler) = 0;
  virtual void removeDestroyHandler(const std::shared_ptr<DestroyHandler>& handle) = 0;
  virtual std::shared_ptr<CloseHandler> addCloseHandler(std::shared_ptr<CloseHandler> handler) = 0;
  virtual std::shared_ptr<CloseHandler> addCloseHandler(CloseHandler handler) = 0;
  virtual void removeCloseHandler(const std::shared_ptr<CloseHandler>& handle) = 0;
  virtual std::shared_ptr<MessageHandler> addMessageHandler(std::shared_ptr<MessageHandler> handler) = 0;
  virtual std::shared_ptr<MessageHandler> addMessageHandler(MessageHandler handler) = 0;
  virtual void removeMessageHandler(const std::shared_ptr<MessageHandler>& handle) = 0;
  virtual bool createHandle(const std::u16string& title, int width, int height) = 0;
  // Runs the dispatch for a message and returns its value (0 when nobody handled it).
  virtual std::intptr_t windowProc(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
  // Destroys the system window: the destroy handlers run, the handle becomes null and the
  // window disappears from the screen. Nothing happens when already destroyed.
  virtual void destroy() = 0;
  // The platform window, shared (for the graphics engine, which keeps it alive while it
  // holds GL objects). Empty once destroyed.
  virtual std::shared_ptr<QlPlatform::NativeWindow> getNativeWindow() const = 0;
};

namespace Core {

class Window : public IWindow, public std::enable_shared_from_this<Window> {
 public:
  // Creates a window with a client area of width x height, centred and shown; empty on
  // failure.
  static std::shared_ptr<Window> create(const std::u16string& title, int width, int height);

  Window();
  ~Window() override;

  EventResult onMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
  void close() override;
  bool isDestroyed() const override { return handle_ == nullptr; }
  bool setVisible(bool visible) override;
  bool isVisible() const override;
  bool setTitle(const std::u16string& title) override;
  std::u16string getTitle() const override;
  bool setPosition(int x, int y) override;
  void setX(int x) override { setPosition(x, getY()); }
  int getX() const override;
  void setY(int y) override { setPosition(getX(), y); }
  int getY() const override;
  bool setSize(int width, int height) override;
  int getWidth() const override;
  int getHeight() const override;
  WindowHandle getHandle() const override { return handle_; }
  bool setComponent(std::shared_ptr<IComponent> component) override;
  std::shared_ptr<IComponent> getComponent() const override { return component_; }
  std::shared_ptr<DestroyHandler> addDestroyHandler(std::shared_ptr<DestroyHandler> handler) override;
  std::shared_ptr<DestroyHandler> addDestroyHandler(DestroyHandler handler) override;
  void removeDestroyHandler(const std::shared_ptr<DestroyHandler>& handle) override;
  std::shared_ptr<CloseHandler> addCloseHandler(std::shared_ptr<CloseHandler> handler) override;
  std::shared_ptr<CloseHandler> addCloseHandler(CloseHandler handler) override;
  void removeCloseHandler(const std::shared_ptr<CloseHandler>& handle) override;
  std::shared_ptr<MessageHandler> addMessageHandler(std::shared_ptr<MessageHandler> handler) override;
  std::shared_ptr<MessageHandler> addMessageHandler(MessageHandler handler) override;
  void removeMessageHandler(const std::shared_ptr<MessageHandler>& handle) override;
  bool createHandle(const std::u16string& title, int width, int height) override;
  std::intptr_t windowProc(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
  void destroy() override;
  std::shared_ptr<QlPlatform::NativeWindow> getNativeWindow() const override;

 private:
  std::list<std::shared_ptr<DestroyHandler>> destroyHandlers_;
  std::list<std::shared_ptr<CloseHandler>> closeHandlers_;
  std::list<std::shared_ptr<MessageHandler>> messageHandlers_;
  WindowHandle handle_ = nullptr;
  std::shared_ptr<IComponent> component_;
  std::shared_ptr<QlPlatform::NativeWindow> native_;
};

}  // namespace Core

// Runs host (the script host's whole life) with window as the current window; returns the
// exit code carried by the quit message that ended the run (0 when none). An empty window
// returns 0 without running host.
int run(const std::shared_ptr<IWindow>& window, const std::function<void()>& host);

std::shared_ptr<IWindow> getCurrentWindow();
WindowHandle getCurrentWindowHandle();

// Handles every pending event without waiting. False when the quit message was retrieved
// (its code is then the run's exit code) or when there is no current window.
bool processMessages();

// Posts the quit message; the next processMessages retrieves it and returns false.
void postQuitMessage(int exitCode);

// Single-instance monitor: named "QlFrame_Monitor_" + id. The first instance keeps the lock
// for its lifetime and raises the current window when a later instance asks.
class IMonitor {
 public:
  virtual ~IMonitor() = default;
  virtual bool isFirst() const = 0;
  virtual std::u16string getName() const = 0;
  // Later instance: asks the first one to show and raise its window. False if it cannot.
  virtual bool requestRaise() const = 0;
};

namespace Core {

class Monitor : public IMonitor {
 public:
  explicit Monitor(const std::u16string& id);
  ~Monitor() override;
  bool isFirst() const override;
  std::u16string getName() const override { return id_; }
  bool requestRaise() const override;

  // Takes pending raise requests (the pump calls this for every live first-instance monitor).
  bool pollRaiseRequests();

 private:
  std::u16string id_;
  std::unique_ptr<QlPlatform::InstanceLock> lock_;
};

}  // namespace Core

std::shared_ptr<IMonitor> createMonitor(const std::u16string& id);

}  // namespace QlFrame
