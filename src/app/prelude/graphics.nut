// `Graphics` prelude: run once at start-up with the root table as `this`, after
// the native classes and functions have been put into `Graphics`.
// Every call of the native `getScreenCanvas_` makes a new `Canvas` instance, so
// the screen canvas is made once and kept here.

// The screen canvas, made by the first `getScreenCanvas()`.
Graphics.g_screenCanvas <- null;

// The screen canvas: the same instance on every call (call it through the
// table: `Graphics.getScreenCanvas()`).
function Graphics::getScreenCanvas()
{
    if (this.g_screenCanvas == null) this.g_screenCanvas = this.getScreenCanvas_();
    return this.g_screenCanvas;
}
