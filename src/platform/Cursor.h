#pragma once
// The system mouse cursor: whether it is drawn, and moving it to a point of the game window.
namespace QlPlatform {

class NativeWindow;

// Shows or hides the cursor over every window of the process (no effect before the video
// subsystem is up).
void setCursorShown(bool shown);
bool isCursorShown();

// Moves the cursor to (x, y) in the game's own pixels of window: the client coordinates when the
// window has the game's size, scaled into the fitted game image otherwise (full screen). False
// when the window has no system window.
bool warpCursor(const NativeWindow& window, int x, int y);

}  // namespace QlPlatform
