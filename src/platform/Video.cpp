#include "platform/Video.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Events.h"

namespace QlPlatform {
namespace {
SDL_Window* win(void* w) { return static_cast<SDL_Window*>(w); }
}  // namespace

bool initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // A close request from the window manager arrives as a window event on our window; SDL's
  // extra quit event for the last window would make the close handlers run twice.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Our own handlers: SDL's only queue a quit event, which a game that stopped pumping
  // never sees, so it could not be interrupted at all.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  installStopSignals();
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

bool isHeadless() {
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : SDL_getenv("SDL_VIDEODRIVER");
  return driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

std::string lastError() { return SDL_GetError(); }

void desktopSize(int& width, int& height) {
  width = height = 0;
  SDL_DisplayMode mode;
  if (initVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    width = mode.w;
    height = mode.h;
  }
}

void fitRect(int outerW, int outerH, int innerW, int innerH, int& x, int& y, int& w, int& h) {
  if (innerW <= 0 || innerH <= 0 || outerW <= 0 || outerH <= 0) {
    x = y = 0;
    w = std::max(innerW, 1);
    h = std::max(innerH, 1);
    return;
  }
  const double scale = std::min(static_cast<double>(outerW) / innerW, static_cast<double>(outerH) / innerH);
  w = std::max(1, static_cast<int>(innerW * scale + 0.5));
  h = std::max(1, static_cast<int>(innerH * scale + 0.5));
  x = (outerW - w) / 2;
  y = (outerH - h) / 2;
}

std::shared_ptr<NativeWindow> NativeWindow::create(const std::string& titleUtf8, int width, int height) {
  if (!initVideo() || width <= 0 || height <= 0) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_Window* w = SDL_CreateWindow(titleUtf8.c_str(), SDL_WINDOWPOS_CENTERED_DISPLAY(0),
                                   SDL_WINDOWPOS_CENTERED_DISPLAY(0), width, height,
                                   SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (w == nullptr) return nullptr;
  std::shared_ptr<NativeWindow> result(new NativeWindow());
  result->window_ = w;
  result->gameWidth_ = width;
  result->gameHeight_ = height;
  return result;
}

NativeWindow::~NativeWindow() {
  if (glContext_ != nullptr) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(glContext_));
  if (window_ != nullptr) SDL_DestroyWindow(win(window_));
}

std::uint32_t NativeWindow::id() const { return SDL_GetWindowID(win(window_)); }

void NativeWindow::setVisible(bool visible) {
  if (visible) SDL_ShowWindow(win(window_));
  else SDL_HideWindow(win(window_));
}

bool NativeWindow::isVisible() const { return (SDL_GetWindowFlags(win(window_)) & SDL_WINDOW_SHOWN) != 0; }

void NativeWindow::setTitle(const std::string& titleUtf8) { SDL_SetWindowTitle(win(window_), titleUtf8.c_str()); }

std::string NativeWindow::title() const {
  const char* t = SDL_GetWindowTitle(win(window_));
  return t ? t : "";
}

bool NativeWindow::setIcon(const std::uint8_t* bgra, int width, int height, int pitch) {
  if (bgra == nullptr || width <= 0 || height <= 0 || width > 4096 || height > 4096 || pitch < width * 4)
    return false;
  // SDL copies the pixels, so the surface only borrows them for the call.
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(bgra), width, height, 32, pitch,
                                                         SDL_PIXELFORMAT_BGRA32);
  if (icon == nullptr) return false;
  SDL_SetWindowIcon(win(window_), icon);
  SDL_FreeSurface(icon);
  return true;
}

void NativeWindow::setPosition(int x, int y) {
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowBordersSize(win(window_), &top, &left, &bottom, &right);
  SDL_SetWindowPosition(win(window_), x + left, y + top);
}

void NativeWindow::position(int& x, int& y) const {
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowBordersSize(win(window_), &top, &left, &bottom, &right);
  SDL_GetWindowPosition(win(window_), &x, &y);
  x -= left;
  y -= top;
}

void NativeWindow::setOuterSize(int width, int height) {
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowBordersSize(win(window_), &top, &left, &bottom, &right);
  const int w = width - left - right, h = height - top - bottom;
  if (w > 0 && h > 0) SDL_SetWindowSize(win(window_), w, h);
}

void NativeWindow::clientSize(int& width, int& height) const { SDL_GetWindowSize(win(window_), &width, &height); }

void NativeWindow::clientToGame(int& x, int& y) const {
  int cw = 0, ch = 0;
  clientSize(cw, ch);
  if (cw == gameWidth_ && ch == gameHeight_) return;
  int fx = 0, fy = 0, fw = 0, fh = 0;
  fitRect(cw, ch, gameWidth_, gameHeight_, fx, fy, fw, fh);
  x = static_cast<int>(std::floor(static_cast<double>(x - fx) * gameWidth_ / fw));
  y = static_cast<int>(std::floor(static_cast<double>(y - fy) * gameHeight_ / fh));
}

void NativeWindow::raise() {
  SDL_ShowWindow(win(window_));
  SDL_RestoreWindow(win(window_));
  SDL_RaiseWindow(win(window_));
}

bool NativeWindow::setDesktopFullscreen(bool on) {
  if (on == isDesktopFullscreen()) return true;
  if (on) {
    // Remember the window's place and size: not every video driver restores them.
    SDL_GetWindowPosition(win(window_), &savedX_, &savedY_);
    SDL_GetWindowSize(win(window_), &savedW_, &savedH_);
  }
  if (SDL_SetWindowFullscreen(win(window_), on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
  if (!on && savedW_ > 0) {
    int w = 0, h = 0;
    SDL_GetWindowSize(win(window_), &w, &h);
    if (w != savedW_ || h != savedH_) SDL_SetWindowSize(win(window_), savedW_, savedH_);
    SDL_SetWindowPosition(win(window_), savedX_, savedY_);
  }
  return true;
}

bool NativeWindow::isDesktopFullscreen() const {
  return (SDL_GetWindowFlags(win(window_)) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
}

bool NativeWindow::createGlContext() {
  if (glContext_ != nullptr) return makeGlCurrent();
  glContext_ = SDL_GL_CreateContext(win(window_));
  if (glContext_ == nullptr) return false;
  SDL_GL_SetSwapInterval(0);  // the script paces frames; presenting never waits for the retrace
  return true;
}

bool NativeWindow::makeGlCurrent() {
  return glContext_ != nullptr && SDL_GL_MakeCurrent(win(window_), static_cast<SDL_GLContext>(glContext_)) == 0;
}

void NativeWindow::drawableSize(int& width, int& height) const { SDL_GL_GetDrawableSize(win(window_), &width, &height); }

void NativeWindow::swap() { SDL_GL_SwapWindow(win(window_)); }

}  // namespace QlPlatform
