#include "frame/Window.h"

#include <SDL2/SDL_events.h>

#include <algorithm>
#include <vector>

#include "platform/Events.h"
#include "platform/InstanceLock.h"
#include "platform/Utf.h"
#include "platform/Video.h"

namespace QlFrame {
namespace {

struct RunState {
  std::shared_ptr<IWindow> current;
  bool quitPosted = false;
  int quitCode = 0;
  int exitCode = 0;  // code of the last retrieved quit message
  std::vector<Core::Monitor*> monitors;
};

RunState& runState() {
  static RunState s;
  return s;
}

template <class H>
std::shared_ptr<H> append(std::list<std::shared_ptr<H>>& list, std::shared_ptr<H> handler) {
  if (handler) list.push_back(handler);
  return handler;
}

template <class H>
void removeFirst(std::list<std::shared_ptr<H>>& list, const std::shared_ptr<H>& handle) {
  auto it = std::find(list.begin(), list.end(), handle);
  if (it != list.end()) list.erase(it);
}

// Calls handlers newest first; the first Handled result wins. Works on a snapshot so that a
// handler may add or remove handlers (its own included) while being called.
template <class H, class... A>
bool callNewestFirst(const std::list<std::shared_ptr<H>>& list, EventResult& result, A&&... args) {
  const std::vector<std::shared_ptr<H>> snapshot(list.rbegin(), list.rend());
  for (const auto& h : snapshot) {
    if (!h || !*h) continue;
    const EventResult r = (*h)(args...);
    if (r.isHandled()) {
      result = r;
      return true;
    }
  }
  return false;
}

}  // namespace

namespace Core {

std::shared_ptr<Window> Window::create(const std::u16string& title, int width, int height) {
  auto w = std::make_shared<Window>();
  if (!w->createHandle(title, width, height)) return nullptr;
  return w;
}

Window::Window() {
  addCloseHandler([](IWindow& w) {
    w.destroy();
    return EventResult::makeHandled(0);
  });
  addDestroyHandler([this](IWindow&) {
    handle_ = nullptr;
    return EventResult::makeHandled(0);
  });
}

Window::~Window() {
  // Released while still open (the run ended without a close): destroyed as usual.
  if (handle_ != nullptr) destroy();
  if (component_) component_->detach();
}

EventResult Window::onMessage(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
  if (component_) {
    const EventResult r = component_->onMessage(hwnd, message, wParam, lParam);
    if (r.isHandled()) return r;
  }
  EventResult result = EventResult::makeDefault(0);
  if (callNewestFirst(messageHandlers_, result, static_cast<IWindow&>(*this), hwnd, message, wParam, lParam))
    return result;
  if (message == Close) {
    if (callNewestFirst(closeHandlers_, result, static_cast<IWindow&>(*this))) return result;
    return EventResult::makeDefault(0);
  }
  if (message == Destroy) {
    if (callNewestFirst(destroyHandlers_, result, static_cast<IWindow&>(*this))) return result;
    return EventResult::makeDefault(0);
  }
  return EventResult::makeDefault(0);
}

void Window::close() {
  if (handle_ != nullptr) windowProc(handle_, Close, 0, 0);
}

void Window::destroy() {
  if (handle_ == nullptr) return;
  // Kept alive while the handlers run and the window is taken down: one of them may drop
  // the last other holder. (Null when the destructor itself destroys the window.)
  const auto self = weak_from_this().lock();
  windowProc(handle_, Destroy, 0, 0);
  // The window is gone whatever the handlers answered; never leave a handle to a dead window.
  handle_ = nullptr;
  if (native_) native_->setVisible(false);
  native_.reset();
}

bool Window::setVisible(bool visible) {
  if (handle_ == nullptr) return false;
  native_->setVisible(visible);
  return true;
}

bool Window::isVisible() const { return handle_ != nullptr && native_->isVisible(); }

bool Window::setTitle(const std::u16string& title) {
  if (handle_ == nullptr) return false;
  native_->setTitle(QlPlatform::toUtf8(title));
  return true;
}

std::u16string Window::getTitle() const {
  if (handle_ == nullptr) return {};
  std::u16string t = QlPlatform::fromUtf8(native_->title());
  if (t.size() > 255) t.resize(255);  // a 256-character buffer holds 255 and the terminator
  return t;
}

bool Window::setPosition(int x, int y) {
  if (handle_ == nullptr) return false;
  native_->setPosition(x, y);
  return true;
}

int Window::getX() const {
  if (handle_ == nullptr) return 0;
  int x = 0, y = 0;
  native_->position(x, y);
  return x;
}

int Window::getY() const {
  if (handle_ == nullptr) return 0;
  int x = 0, y = 0;
  native_->position(x, y);
  return y;
}

bool Window::setSize(int width, int height) {
  if (handle_ == nullptr) return false;
  native_->setOuterSize(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
  return true;
}

int Window::getWidth() const {
  if (handle_ == nullptr) return 0;
  int w = 0, h = 0;
  native_->clientSize(w, h);
  return w;
}

int Window::getHeight() const {
  if (handle_ == nullptr) return 0;
  int w = 0, h = 0;
  native_->clientSize(w, h);
  return h;
}

bool Window::setComponent(std::shared_ptr<IComponent> component) {
  if (component_) component_->detach();
  component_ = std::move(component);
  if (component_) component_->attach(handle_);
  return true;
}

std::shared_ptr<DestroyHandler> Window::addDestroyHandler(std::shared_ptr<DestroyHandler> handler) {
  return append(destroyHandlers_, std::move(handler));
}
std::shared_ptr<DestroyHandler> Window::addDestroyHandler(DestroyHandler handler) {
  return addDestroyHandler(std::make_shared<DestroyHandler>(std::move(handler)));
}
void Window::removeDestroyHandler(const std::shared_ptr<DestroyHandler>& handle) { removeFirst(destroyHandlers_, handle); }

std::shared_ptr<CloseHandler> Window::addCloseHandler(std::shared_ptr<CloseHandler> handler) {
  return append(closeHandlers_, std::move(handler));
}
std::shared_ptr<CloseHandler> Window::addCloseHandler(CloseHandler handler) {
  return addCloseHandler(std::make_shared<CloseHandler>(std::move(handler)));
}
void Window::removeCloseHandler(const std::shared_ptr<CloseHandler>& handle) { removeFirst(closeHandlers_, handle); }

std::shared_ptr<MessageHandler> Window::addMessageHandler(std::shared_ptr<MessageHandler> handler) {
  return append(messageHandlers_, std::move(handler));
}
std::shared_ptr<MessageHandler> Window::addMessageHandler(MessageHandler handler) {
  return addMessageHandler(std::make_shared<MessageHandler>(std::move(handler)));
}
void Window::removeMessageHandler(const std::shared_ptr<MessageHandler>& handle) { removeFirst(messageHandlers_, handle); }

bool Window::createHandle(const std::u16string& title, int width, int height) {
  if (handle_ != nullptr) return false;
  native_ = QlPlatform::NativeWindow::create(QlPlatform::toUtf8(title), static_cast<std::uint16_t>(width),
                                             static_cast<std::uint16_t>(height));
  if (!native_) return false;
  handle_ = native_.get();
  return true;
}

std::intptr_t Window::windowProc(WindowHandle hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
  // A handler may drop the last holder of the window; it lives until the message is done.
  const auto self = weak_from_this().lock();
  const EventResult r = onMessage(hwnd, message, wParam, lParam);
  return r.isHandled() ? r.value : 0;
}

std::shared_ptr<QlPlatform::NativeWindow> Window::getNativeWindow() const {
  return handle_ != nullptr ? native_ : nullptr;
}

Monitor::Monitor(const std::u16string& id)
    : id_(id), lock_(std::make_unique<QlPlatform::InstanceLock>(QlPlatform::toUtf8(u"QlFrame_Monitor_" + id))) {
  if (lock_->isFirst()) runState().monitors.push_back(this);
}

Monitor::~Monitor() {
  auto& m = runState().monitors;
  m.erase(std::remove(m.begin(), m.end(), this), m.end());
}

bool Monitor::isFirst() const { return lock_->isFirst(); }
bool Monitor::requestRaise() const { return !lock_->isFirst() && lock_->requestRaise(); }
bool Monitor::pollRaiseRequests() { return lock_->pollRaiseRequests(); }

}  // namespace Core

std::shared_ptr<IMonitor> createMonitor(const std::u16string& id) { return std::make_shared<Core::Monitor>(id); }

int run(const std::shared_ptr<IWindow>& window, const std::function<void()>& host) {
  if (!window) return 0;
  RunState& s = runState();
  s.quitPosted = false;
  s.quitCode = 0;
  s.exitCode = 0;
  s.current = window;
  // The current window ends with the run, also when the host leaves it by an exception.
  struct EndRun {
    RunState& state;
    ~EndRun() { state.current.reset(); }
  } endRun{s};
  if (host) host();
  return s.exitCode;
}

std::shared_ptr<IWindow> getCurrentWindow() { return runState().current; }

WindowHandle getCurrentWindowHandle() {
  const auto& w = runState().current;
  return w ? w->getHandle() : nullptr;
}

void postQuitMessage(int exitCode) {
  RunState& s = runState();
  s.quitPosted = true;
  s.quitCode = exitCode;
}

namespace {

bool retrieveQuit() {
  RunState& s = runState();
  if (!s.quitPosted) return false;
  s.quitPosted = false;
  s.exitCode = s.quitCode;
  return true;
}

void dispatchEvent(const std::shared_ptr<IWindow>& window, const SDL_Event& ev) {
  WindowHandle h = window->getHandle();
  if (h == nullptr) return;
  const auto lp = reinterpret_cast<LParam>(&ev);
  if (ev.type == SDL_QUIT) {
    // Interrupt or terminate signal: treated as the player closing the window.
    window->windowProc(h, Close, 0, 0);
    return;
  }
  if (ev.type == SDL_WINDOWEVENT && ev.window.event == SDL_WINDOWEVENT_CLOSE) {
    auto native = window->getNativeWindow();
    if (native && ev.window.windowID == native->id()) {
      window->windowProc(h, Close, 0, 0);
      return;
    }
  }
  window->windowProc(h, Event, ev.type, lp);
}

}  // namespace

bool processMessages() {
  RunState& s = runState();
  std::shared_ptr<IWindow> window = s.current;
  if (!window) return false;
  if (window->isDestroyed()) postQuitMessage(0);
  if (retrieveQuit()) return false;
  bool raise = false;
  for (Core::Monitor* m : s.monitors) raise = m->pollRaiseRequests() || raise;
  if (raise) {
    auto native = window->getNativeWindow();
    if (native) native->raise();
  }
  QlPlatform::pumpEvents([&](const SDL_Event& ev) { dispatchEvent(window, ev); });
  return !retrieveQuit();
}

}  // namespace QlFrame
