#pragma once
#include <epoxy/gl.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/Engine.h"

namespace QlPlatform {
class NativeWindow;
}

// OpenGL 3.3 core back end. Every render target, the screen included, is a framebuffer
// object whose colour texture holds top-down rows (row 0 is the top of the image); the
// projection of each effect puts pixel y = 0 into row 0, and only the final copy of the
// back buffer to the window flips, at present.
namespace QlGraphics::Gl {

class GlShader;

// GL state shared by the engine and every resource it made. Resources keep the device (and so
// the window carrying the GL context) alive until they release their GL objects.
struct Device {
  std::shared_ptr<QlPlatform::NativeWindow> window;
  GLuint vao = 0;
  GLuint streamVbo = 0, streamEbo = 0;
  GLsizeiptr streamVboSize = 0, streamEboSize = 0;
  GLuint maxTextureSize = 0;
  // Attribute pointers currently set on the VAO (to skip re-specifying them).
  GLuint boundArray = 0;
  int boundFormat = 0;
  GLintptr boundOffset = -1;
  GLuint boundElements = 0;
  GlShader* activeShader = nullptr;
  GLuint currentProgram = 0;
  GLuint boundFramebuffer = 0xFFFFFFFFu;
  GLuint boundTextures[16] = {};
  int activeUnit = 0;
  int appliedBlend = -1;
  int appliedCull = -1;
  // Engine state that a shader pass may override and end() restores.
  int blendMode = BlendMode::Opaque;
  int cullMode = CullMode::None;

  ~Device();
  void applyBlend(int mode);
  void applyCull(int mode);
  void bindTexture(int unit, GLuint name);
};

class GlTexture;

class GlTextureBuffer : public ITextureBuffer {
 public:
  GlTextureBuffer(std::shared_ptr<std::vector<std::uint8_t>> bits, int format, std::uint16_t w, std::uint16_t h)
      : bits_(std::move(bits)), format_(format), width_(w), height_(h) {}
  int getFormat() const override { return format_; }
  std::uint16_t getWidth() const override { return width_; }
  std::uint16_t getHeight() const override { return height_; }
  std::uint32_t getPitch() const override { return static_cast<std::uint32_t>(width_) * 4u; }
  std::uint8_t* pixelAt(int x, int y) override { return bits_->data() + x * 4 + static_cast<std::size_t>(y) * getPitch(); }
  std::uint8_t* rowAt(int y) override { return bits_->data() + static_cast<std::size_t>(y) * getPitch(); }
  std::uint8_t* getBits() override { return bits_->data(); }

 private:
  std::shared_ptr<std::vector<std::uint8_t>> bits_;
  int format_;
  std::uint16_t width_, height_;
};

class GlTexture : public ITexture {
 public:
  GlTexture(std::shared_ptr<Device> device, GLuint name, std::uint16_t w, std::uint16_t h, int format);
  ~GlTexture() override;
  int getFormat() const override { return format_; }
  std::uint16_t getWidth() const override { return width_; }
  std::uint16_t getHeight() const override { return height_; }
  float toU(float x) const override { return x / static_cast<float>(width_); }
  float toV(float y) const override { return y / static_cast<float>(height_); }
  std::shared_ptr<ITextureBuffer> lock() override;
  void unlock() override;
  void setHandle(NativeHandle handle) override;
  void releaseHandle() override;
  NativeHandle getHandle() const override { return name_; }

 private:
  std::shared_ptr<Device> device_;
  GLuint name_;
  std::uint16_t width_, height_;
  int format_;
  std::shared_ptr<std::vector<std::uint8_t>> locked_;
};

class GlTargetBuffer : public ITargetBuffer {
 public:
  GlTargetBuffer(std::uint16_t w, std::uint16_t h, GLuint name) : width_(w), height_(h), name_(name) {}
  std::uint16_t getWidth() const override { return width_; }
  std::uint16_t getHeight() const override { return height_; }
  NativeHandle getSurface() const override { return name_; }
  void setSurface(NativeHandle surface) override { name_ = static_cast<GLuint>(surface); }
  void releaseSurface() override { name_ = 0; }

 private:
  std::uint16_t width_, height_;
  GLuint name_;
};

class GlTarget : public ITarget {
 public:
  static std::shared_ptr<GlTarget> create(const std::shared_ptr<Device>& device, std::uint16_t w, std::uint16_t h,
                                          int format);
  ~GlTarget() override;
  std::uint16_t getWidth() const override { return width_; }
  std::uint16_t getHeight() const override { return height_; }
  std::shared_ptr<ITexture> getTexture() const override { return texture_; }
  std::shared_ptr<ITargetBuffer> getColorBuffer() const override { return color_; }
  std::shared_ptr<ITargetBuffer> getDepthBuffer() const override { return depth_; }
  GLuint framebuffer() const { return fbo_; }

 private:
  GlTarget() = default;
  std::shared_ptr<Device> device_;
  std::uint16_t width_ = 0, height_ = 0;
  GLuint fbo_ = 0, depthRb_ = 0;
  std::shared_ptr<GlTexture> texture_;
  std::shared_ptr<GlTargetBuffer> color_, depth_;
};

template <class Base>
class GlBufferBase : public Base {
 public:
  GlBufferBase(std::shared_ptr<Device> device, int format, int storage, std::uint32_t stride)
      : device_(std::move(device)), format_(format), storage_(storage), stride_(stride) {}
  ~GlBufferBase() override {
    if (vbo_ == 0) return;
    if (device_->boundArray == vbo_) device_->boundArray = 0;
    glDeleteBuffers(1, &vbo_);
  }
  int getFormat() const override { return format_; }
  int getStorage() const override { return storage_; }
  std::uint32_t getCount() const override { return static_cast<std::uint32_t>(data_.size()) / stride_; }
  std::uint32_t getStride() const override { return stride_; }
  std::uint32_t getSize() const override { return static_cast<std::uint32_t>(data_.size()); }
  void* elementAt(std::uint32_t index) override {
    if (index >= getCount()) return nullptr;
    dirty_ = true;  // the caller may write through the address
    return data_.data() + static_cast<std::size_t>(index) * stride_;
  }
  void clear() override {
    data_.clear();
    dirty_ = true;
  }
  bool resize(std::uint32_t bytes) override {
    data_.resize(bytes);
    dirty_ = true;
    return true;
  }
  bool append(const void* data, std::uint32_t bytes) override {
    if (data == nullptr) return false;
    const auto* p = static_cast<const std::uint8_t*>(data);
    data_.insert(data_.end(), p, p + bytes);
    dirty_ = true;
    return true;
  }
  // Device buffer (storage 2 only): built on demand, rebuilt only after the data changed.
  NativeHandle getDeviceBuffer() override;

  const std::uint8_t* bytes() const { return data_.data(); }
  std::vector<std::uint8_t>& storageBytes() { return data_; }

 protected:
  std::shared_ptr<Device> device_;
  int format_, storage_;
  std::uint32_t stride_;
  std::vector<std::uint8_t> data_;
  GLuint vbo_ = 0;
  bool dirty_ = true;
};

class GlVertexBuffer : public GlBufferBase<IVertexBuffer> {
 public:
  GlVertexBuffer(std::shared_ptr<Device> device, int format, int storage);
  float* positionAt(std::uint32_t index) override { return field<float>(index, layout_->position); }
  float* blendWeightsAt(std::uint32_t index) override { return field<float>(index, layout_->blendWeights); }
  std::uint8_t* blendIndicesAt(std::uint32_t index) override { return field<std::uint8_t>(index, layout_->blendIndices); }
  float* normalAt(std::uint32_t index) override { return field<float>(index, layout_->normal); }
  Color* diffuseAt(std::uint32_t index) override { return field<Color>(index, layout_->diffuse); }
  float* texCoordAt(std::uint32_t index) override { return field<float>(index, layout_->texCoord); }
  const VertexLayout* getDeclaration() const override { return layout_; }

 private:
  template <class T>
  T* field(std::uint32_t index, int offset) {
    if (offset < 0) return nullptr;
    auto* e = static_cast<std::uint8_t*>(elementAt(index));
    return e ? reinterpret_cast<T*>(e + offset) : nullptr;
  }
  const VertexLayout* layout_;
};

class GlIndexBuffer : public GlBufferBase<IIndexBuffer> {
 public:
  GlIndexBuffer(std::shared_ptr<Device> device, int format, int storage)
      : GlBufferBase(std::move(device), format, storage, format == IndexFormat::Index16 ? 2u : 4u) {}
};

class GlEngineCaps : public IEngineCaps {
 public:
  explicit GlEngineCaps(std::uint16_t maxSize) : max_(maxSize) {}
  std::u16string getName() const override { return u"OpenGL"; }
  std::u16string getShaderLanguage() const override { return u"GLSL"; }
  std::uint16_t getMaxTextureWidth() const override { return max_; }
  std::uint16_t getMaxTextureHeight() const override { return max_; }

 private:
  std::uint16_t max_;
};

class Engine : public IEngine {
 public:
  // Creates the GL context on window and a width x height back buffer; empty on failure.
  static std::shared_ptr<Engine> create(std::shared_ptr<QlPlatform::NativeWindow> window, std::uint16_t width,
                                        std::uint16_t height);
  ~Engine() override;

  std::shared_ptr<ITexture> createTexture(std::uint16_t width, std::uint16_t height, int format) override;
  std::shared_ptr<ITarget> createTarget(std::uint16_t width, std::uint16_t height, int format) override;
  std::shared_ptr<IVertexBuffer> createVertexBuffer(int format, int storage) override;
  std::shared_ptr<IIndexBuffer> createIndexBuffer(int format, int storage) override;
  std::shared_ptr<IShader> createShader(const char* source, std::size_t length) override;
  std::shared_ptr<IEngineCaps> getCaps() override;
  std::uint16_t getWidth() const override { return width_; }
  std::uint16_t getHeight() const override { return height_; }
  bool setScreenMode(int mode) override;
  int getScreenMode() const override { return screenMode_; }
  bool setBlendMode(int mode) override;
  int getBlendMode() const override { return device_->blendMode; }
  bool setCullMode(int mode) override;
  int getCullMode() const override { return device_->cullMode; }
  bool setTarget(const std::shared_ptr<ITarget>& target) override;
  std::uint16_t getTargetWidth() const override { return viewportW_; }
  std::uint16_t getTargetHeight() const override { return viewportH_; }
  bool setVertexBuffer(const std::shared_ptr<IVertexBuffer>& buffer) override;
  std::shared_ptr<IVertexBuffer> getVertexBuffer() const override { return vertexBuffer_; }
  bool setIndexBuffer(const std::shared_ptr<IIndexBuffer>& buffer) override;
  std::shared_ptr<IIndexBuffer> getIndexBuffer() const override { return indexBuffer_; }
  bool clear(Color color) override;
  bool clearDepth(float z) override;
  bool beginScene() override;
  bool endScene() override;
  bool draw(int primitive, std::uint32_t count, std::uint32_t start) override;
  bool drawIndexed(int primitive, std::uint32_t count, std::uint32_t start) override;
  bool present() override;

  // The back buffer's pixels as top-down 0xAARRGGBB values (what present shows).
  std::vector<Color> readBackBuffer();
  // The rectangle of the window's drawable that present fills (x, y from the top left).
  void presentRect(int& x, int& y, int& w, int& h) const;

 private:
  Engine() = default;
  bool bindVertices(GLuint& firstVertex, std::uint32_t start, std::uint32_t vertexCount, bool whole);
  void applyScreenMode();

  std::shared_ptr<Device> device_;
  std::shared_ptr<GlTarget> backBuffer_;
  std::shared_ptr<IEngineCaps> caps_;
  std::uint16_t width_ = 0, height_ = 0;
  std::uint16_t viewportW_ = 0, viewportH_ = 0;
  int screenMode_ = ScreenMode::Window;
  bool modePending_ = false;
  std::shared_ptr<ITarget> target_;
  std::shared_ptr<IVertexBuffer> vertexBuffer_;
  std::shared_ptr<IIndexBuffer> indexBuffer_;
};

std::shared_ptr<IEngine> createEngine(std::shared_ptr<QlPlatform::NativeWindow> window, std::uint16_t width,
                                      std::uint16_t height);

}  // namespace QlGraphics::Gl
