#include "platform/Dialog.h"

#include <SDL2/SDL.h>

#include "platform/Video.h"

namespace QlPlatform {

bool askYesNo(NativeWindow* parent, const std::string& captionUtf8, const std::string& textUtf8) {
  if (isHeadless()) return true;
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  SDL_MessageBoxData data{};
  data.flags = SDL_MESSAGEBOX_INFORMATION;
  data.window = parent ? static_cast<SDL_Window*>(parent->sdlWindow()) : nullptr;
  data.title = captionUtf8.c_str();
  data.message = textUtf8.c_str();
  data.numbuttons = 2;
  data.buttons = buttons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return true;
  return pressed == 1;
}

void showError(NativeWindow* parent, const std::string& captionUtf8, const std::string& textUtf8) {
  if (isHeadless()) return;
  SDL_Window* owner = parent ? static_cast<SDL_Window*>(parent->sdlWindow()) : nullptr;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, captionUtf8.c_str(), textUtf8.c_str(), owner);
}

}  // namespace QlPlatform
