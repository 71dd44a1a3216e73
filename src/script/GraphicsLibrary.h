#pragma once
// The Graphics table: the graphics context on the main window, the screen canvas shown every
// frame, and the 2D classes and functions (the 3D and video classes join through
// registerGraphics3d).
#include "script/Library.h"

#include <memory>
#include <string>

namespace QlIO {
class IFileManager;
}
namespace QlFrame {
class IWindow;
}
namespace QlGraphics {
class ICanvas;
}

namespace Quillorane {

class GraphicsLibrary : public Library {
public:
    // screenshot: a native file path where the screen canvas is saved (PNG) when the run
    // ends, or empty.
    GraphicsLibrary(std::shared_ptr<QlIO::IFileManager> files, std::shared_ptr<QlFrame::IWindow> window,
                    std::string screenshot = {});
    ~GraphicsLibrary() override;

    // Brings up the graphics context and the screen canvas, registers Graphics and runs its
    // prelude. False when the context could not be made (the table is still there, and its
    // functions answer 0) or the prelude failed.
    bool onLoad(HSQUIRRELVM v) override;
    // Saves the screenshot if one was asked for, then shuts the graphics context down.
    void onUnload(HSQUIRRELVM v) override;
    void onBeginFrame(HSQUIRRELVM v) override;
    void onEndFrame(HSQUIRRELVM v) override;

private:
    bool startGraphics();
    void shutDown();
    void saveScreenshot();

    std::shared_ptr<QlIO::IFileManager> files_;
    std::shared_ptr<QlFrame::IWindow> window_;
    std::string screenshot_;
    std::shared_ptr<QlGraphics::ICanvas> screen_;
    bool started_ = false;
};

// Writes the canvas's pixels to a native path as PNG (ending the canvas's drawing pass first
// when it is still open). False when the canvas cannot be read or the file cannot be written.
bool saveCanvasPng(QlGraphics::ICanvas& canvas, const std::string& path);

}  // namespace Quillorane
