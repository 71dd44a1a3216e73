#pragma once
#include <cstdint>
#include <memory>
#include <string>

// The game window as the operating system sees it, and its OpenGL context.
namespace QlPlatform {

// Brings up SDL's video subsystem once per process (idempotent). False when no video
// driver can be opened; SDL's message is then in lastError().
bool initVideo();
// True when the video driver draws nowhere (SDL "offscreen" or "dummy"): dialogs are then
// answered without asking anybody.
bool isHeadless();
std::string lastError();

// Size of the primary display's desktop mode (0 x 0 when unknown).
void desktopSize(int& width, int& height);

// Where an inner area of innerW x innerH goes when it is scaled to fit an outer area with its
// aspect ratio kept and centred (the rest shows as black bars): x, y, w, h in outer units.
// Rendering fits the game image into the window's pixels with it; mouse positions are taken
// back through it.
void fitRect(int outerW, int outerH, int innerW, int innerH, int& x, int& y, int& w, int& h);

// One top-level window: fixed size, centred on the primary display, able to carry an
// OpenGL 3.3 core context. Owned by whoever created it; destroying the object closes it.
//
// Held through shared pointers: the graphics engine keeps the window (and its GL context)
// alive until it has released its GL objects, even after the game closed the window; a
// closed window is hidden at once and destroyed when its last holder lets go.
class NativeWindow : public std::enable_shared_from_this<NativeWindow> {
 public:
  // Creates and shows a window whose client area is width x height; null on failure.
  static std::shared_ptr<NativeWindow> create(const std::string& titleUtf8, int width, int height);
  ~NativeWindow();
  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;

  std::uint32_t id() const;  // the SDL window id, as carried by window events

  void setVisible(bool visible);
  bool isVisible() const;
  void setTitle(const std::string& titleUtf8);
  std::string title() const;
  // Outer (frame) rectangle in screen coordinates, as the desktop places the window.
  void setPosition(int x, int y);
  void position(int& x, int& y) const;
  void setOuterSize(int width, int height);
  void clientSize(int& width, int& height) const;
  // The game's own size: the client size the window was made with. In desktop full screen
  // (or a window the desktop resized) the game image is scaled to fit the client area.
  int gameWidth() const { return gameWidth_; }
  int gameHeight() const { return gameHeight_; }
  // Client coordinates to game pixels (the identity while the window has the game's size).
  // A point on a black bar maps outside 0..gameWidth-1 / 0..gameHeight-1.
  void clientToGame(int& x, int& y) const;
  void raise();
  // Sets the icon the desktop shows for the window from 32-bit pixels (bytes B, G, R, A,
  // top row first, pitch bytes per row). False for an empty or oversized image; the window
  // then keeps the icon it had.
  bool setIcon(const std::uint8_t* bgra, int width, int height, int pitch);
  // Desktop-sized borderless full screen on (true) or back to the window (false).
  bool setDesktopFullscreen(bool on);
  bool isDesktopFullscreen() const;

  // The OpenGL side: one 3.3 core context per window, current on the calling thread.
  bool createGlContext();
  bool makeGlCurrent();
  void drawableSize(int& width, int& height) const;
  void swap();

  void* sdlWindow() const { return window_; }

 private:
  NativeWindow() = default;
  void* window_ = nullptr;   // SDL_Window*
  void* glContext_ = nullptr;  // SDL_GLContext
  int savedX_ = 0, savedY_ = 0, savedW_ = 0, savedH_ = 0;  // window rectangle before full screen
  int gameWidth_ = 0, gameHeight_ = 0;
};

}  // namespace QlPlatform
