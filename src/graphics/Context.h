#pragma once
#include <list>
#include <memory>

#include "graphics/Canvas.h"
#include "graphics/Engine.h"

namespace QlGraphics {

// Loaders are defined by the images, video and 3D parts; the context only keeps them.
class IFileLoader;
class IImageLoader;
class IVideoLoader;
class IModelLoader;

// Per-frame callbacks (video is one). Entries are weak: an owner that goes away, or answers
// isReleased, is dropped at the next walk.
class ICallback {
 public:
  virtual ~ICallback() = default;
  virtual bool isReleased() const = 0;
  virtual void onBeginFrame() {}
  virtual void onEndFrame() {}
  virtual void onRelease() {}
};

// The one graphics object of the process: the engine, the loaders, frame callbacks, and the
// copy of the screen canvas to the window at the end of every frame.
class Context {
 public:
  // Empty when the engine is missing, has no GLSL, or the screen program cannot be made.
  static std::shared_ptr<Context> create(std::shared_ptr<IEngine> engine);
  virtual ~Context();

  virtual std::shared_ptr<IEngine> getEngine() const { return engine_; }
  virtual void setFileLoader(std::shared_ptr<IFileLoader> loader) { fileLoader_ = std::move(loader); }
  virtual std::shared_ptr<IFileLoader> getFileLoader() const { return fileLoader_; }
  virtual void setImageLoader(std::shared_ptr<IImageLoader> loader) { imageLoader_ = std::move(loader); }
  virtual std::shared_ptr<IImageLoader> getImageLoader() const { return imageLoader_; }
  virtual void setVideoLoader(std::shared_ptr<IVideoLoader> loader) { videoLoader_ = std::move(loader); }
  virtual std::shared_ptr<IVideoLoader> getVideoLoader() const { return videoLoader_; }
  virtual void setModelLoader(std::shared_ptr<IModelLoader> loader) { modelLoader_ = std::move(loader); }
  virtual std::shared_ptr<IModelLoader> getModelLoader() const { return modelLoader_; }
  virtual bool setScreenMode(int mode) { return engine_->setScreenMode(mode); }
  virtual int getScreenMode() const { return engine_->getScreenMode(); }
  virtual std::uint16_t getWidth() const { return engine_->getWidth(); }
  virtual std::uint16_t getHeight() const { return engine_->getHeight(); }
  virtual bool addCallback(const std::shared_ptr<ICallback>& callback);
  virtual bool addLateCallback(const std::shared_ptr<ICallback>& callback);
  virtual void beginFrame();
  // Runs the end-of-frame callbacks, copies screenTexture to the back buffer and presents.
  // An empty texture (the screen canvas still drawing) skips the copy but still presents.
  virtual void endFrame(const std::shared_ptr<ITexture>& screenTexture);

 protected:
  Context() = default;

 private:
  using CallbackList = std::list<std::weak_ptr<ICallback>>;
  template <class F>
  void walk(F&& call);

  std::shared_ptr<IEngine> engine_;
  std::shared_ptr<IVertexBuffer> vertices_;
  std::shared_ptr<IShader> screenShader_;
  std::shared_ptr<IFileLoader> fileLoader_;
  std::shared_ptr<IImageLoader> imageLoader_;
  std::shared_ptr<IVideoLoader> videoLoader_;
  std::shared_ptr<IModelLoader> modelLoader_;
  CallbackList callbacks_, lateCallbacks_;
};

// The process-wide slots the graphics library fills at start and empties at shutdown
// (screen canvas first, then the context).
std::shared_ptr<Context> getContext();
void setContext(std::shared_ptr<Context> context);
std::shared_ptr<ICanvas> getScreenCanvas();
void setScreenCanvas(std::shared_ptr<ICanvas> canvas);

}  // namespace QlGraphics
