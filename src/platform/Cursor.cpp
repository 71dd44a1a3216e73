#include "platform/Cursor.h"

#include "platform/Video.h"

#include <SDL2/SDL.h>

#include <cmath>

namespace QlPlatform {

void setCursorShown(bool shown) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

bool isCursorShown() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return true;
    return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

bool warpCursor(const NativeWindow& window, int x, int y) {
    auto* sdl = static_cast<SDL_Window*>(window.sdlWindow());
    if (!sdl) return false;
    int cw = 0, ch = 0;
    window.clientSize(cw, ch);
    const int gw = window.gameWidth(), gh = window.gameHeight();
    if ((cw != gw || ch != gh) && gw > 0 && gh > 0) {
        // The inverse of NativeWindow::clientToGame: the centre of the game pixel's area.
        int fx = 0, fy = 0, fw = 0, fh = 0;
        fitRect(cw, ch, gw, gh, fx, fy, fw, fh);
        x = fx + static_cast<int>(std::floor((x + 0.5) * fw / gw));
        y = fy + static_cast<int>(std::floor((y + 0.5) * fh / gh));
    }
    SDL_WarpMouseInWindow(sdl, x, y);
    return true;
}

}  // namespace QlPlatform
