#include "graphics/gl/GlEngine.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/gl/GlShader.h"
#include "platform/Video.h"

namespace QlGraphics::Gl {

// ---------------------------------------------------------------- device state

Device::~Device() {
  if (window && window->makeGlCurrent()) {
    if (streamVbo) glDeleteBuffers(1, &streamVbo);
    if (streamEbo) glDeleteBuffers(1, &streamEbo);
    if (vao) glDeleteVertexArrays(1, &vao);
  }
}

void Device::applyBlend(int mode) {
  if (mode == appliedBlend) return;
  appliedBlend = mode;
  switch (mode) {
    case BlendMode::Opaque:
      glDisable(GL_BLEND);
      break;
    case BlendMode::Alpha:
      glEnable(GL_BLEND);
      glBlendEquation(GL_FUNC_ADD);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case BlendMode::Add:
      glEnable(GL_BLEND);
      glBlendEquation(GL_FUNC_ADD);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    case BlendMode::Subtract:
      glEnable(GL_BLEND);
      glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);  // destination - source
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    default:
      break;
  }
}

void Device::bindTexture(int unit, GLuint name) {
  // Also leaves `unit` active, so texture edits that follow act on `name`.
  if (activeUnit != unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    activeUnit = unit;
  }
  if (unit < 16 && boundTextures[unit] == name) return;
  glBindTexture(GL_TEXTURE_2D, name);
  if (unit < 16) boundTextures[unit] = name;
}

void Device::applyCull(int mode) {
  if (mode == appliedCull) return;
  appliedCull = mode;
  // Targets hold top-down rows while GL rasterises with y up, so a triangle that is clockwise
  // in the finished image is counter-clockwise (GL's front face) when rasterised.
  if (mode == CullMode::None) {
    glDisable(GL_CULL_FACE);
    return;
  }
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
  glCullFace(mode == CullMode::Clockwise ? GL_FRONT : GL_BACK);
}

// ---------------------------------------------------------------- textures

namespace {

// Drops a texture name from the binding cache before the name is deleted (GL may reuse it).
void forgetTexture(Device& d, GLuint name) {
  for (GLuint& b : d.boundTextures)
    if (b == name) b = 0;
}

GLuint makeTexture(Device& device, std::uint16_t w, std::uint16_t h, int format) {
  GLuint name = 0;
  glGenTextures(1, &name);
  device.bindTexture(0, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  if (format == TextureFormat::Xrgb) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  // Errors left by earlier calls elsewhere must not read as this allocation failing.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  // New textures start transparent black rather than with undefined contents.
  const std::vector<std::uint8_t> zero(static_cast<std::size_t>(w) * h * 4u, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, zero.data());
  if (glGetError() != GL_NO_ERROR) {
    forgetTexture(device, name);
    glDeleteTextures(1, &name);
    return 0;
  }
  return name;
}

}  // namespace

GlTexture::GlTexture(std::shared_ptr<Device> device, GLuint name, std::uint16_t w, std::uint16_t h, int format)
    : device_(std::move(device)), name_(name), width_(w), height_(h), format_(format) {}

GlTexture::~GlTexture() {
  if (name_ == 0) return;
  forgetTexture(*device_, name_);
  glDeleteTextures(1, &name_);
}

std::shared_ptr<ITextureBuffer> GlTexture::lock() {
  if (locked_ || name_ == 0) return nullptr;
  locked_ = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(width_) * height_ * 4u);
  device_->bindTexture(0, name_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, locked_->data());
  return std::make_shared<GlTextureBuffer>(locked_, format_, width_, height_);
}

void GlTexture::unlock() {
  if (!locked_) return;
  device_->bindTexture(0, name_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, locked_->data());
  locked_.reset();
}

void GlTexture::setHandle(NativeHandle handle) {
  if (name_ != 0 && name_ != handle) {
    forgetTexture(*device_, name_);
    glDeleteTextures(1, &name_);
  }
  name_ = static_cast<GLuint>(handle);
}

void GlTexture::releaseHandle() {
  if (name_ != 0) {
    forgetTexture(*device_, name_);
    glDeleteTextures(1, &name_);
  }
  name_ = 0;
}

// ---------------------------------------------------------------- targets

std::shared_ptr<GlTarget> GlTarget::create(const std::shared_ptr<Device>& device, std::uint16_t w, std::uint16_t h,
                                           int format) {
  const GLuint tex = makeTexture(*device, w, h, format);
  if (tex == 0) return nullptr;
  std::shared_ptr<GlTarget> t(new GlTarget());
  t->device_ = device;
  t->width_ = w;
  t->height_ = h;
  t->texture_ = std::make_shared<GlTexture>(device, tex, w, h, format);
  glGenRenderbuffers(1, &t->depthRb_);
  glBindRenderbuffer(GL_RENDERBUFFER, t->depthRb_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, w, h);
  glGenFramebuffers(1, &t->fbo_);
  const GLuint previous = device->boundFramebuffer;
  glBindFramebuffer(GL_FRAMEBUFFER, t->fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t->depthRb_);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (complete) {
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);
  }
  // Back to the engine's target: making a target never redirects the draws that follow.
  glBindFramebuffer(GL_FRAMEBUFFER, previous == 0xFFFFFFFFu ? 0 : previous);
  if (previous == 0xFFFFFFFFu) device->boundFramebuffer = 0xFFFFFFFFu;
  if (!complete) return nullptr;
  t->color_ = std::make_shared<GlTargetBuffer>(w, h, tex);
  t->depth_ = std::make_shared<GlTargetBuffer>(w, h, t->depthRb_);
  return t;
}

GlTarget::~GlTarget() {
  if (fbo_ && device_->boundFramebuffer == fbo_) device_->boundFramebuffer = 0xFFFFFFFFu;
  if (fbo_) glDeleteFramebuffers(1, &fbo_);
  if (depthRb_) glDeleteRenderbuffers(1, &depthRb_);
}

// ---------------------------------------------------------------- buffers

template <class Base>
NativeHandle GlBufferBase<Base>::getDeviceBuffer() {
  if (storage_ != Storage::Device) return 0;
  if (vbo_ == 0) glGenBuffers(1, &vbo_);
  if (dirty_) {
    // Uploaded through the array binding, which every VAO shares; the element binding belongs
    // to the VAO and is set at draw time.
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size()), data_.empty() ? nullptr : data_.data(),
                 GL_STATIC_DRAW);
    device_->boundArray = 0;  // attribute pointers must be re-specified
    dirty_ = false;
  }
  return vbo_;
}

template class GlBufferBase<IVertexBuffer>;
template class GlBufferBase<IIndexBuffer>;

GlVertexBuffer::GlVertexBuffer(std::shared_ptr<Device> device, int format, int storage)
    : GlBufferBase(std::move(device), format, storage, vertexStride(format)), layout_(vertexLayout(format)) {}

// ---------------------------------------------------------------- engine

std::shared_ptr<IEngine> createEngine(std::shared_ptr<QlPlatform::NativeWindow> window, std::uint16_t width,
                                      std::uint16_t height) {
  return Engine::create(std::move(window), width, height);
}

namespace {

// A software rasteriser (llvmpipe) allocates a frame's binned triangles from the heap on the
// drawing thread and frees them all once the frame is rasterised. With the C library's
// default of returning a freed heap top over 128 KB to the system, every frame maps those
// megabytes afresh and pays a page fault per 4 KB on the main thread (about a fifth of a
// 10,000-sprite frame). Keeping up to 64 MB of freed heap, and serving blocks below 32 MB
// from the heap rather than from fresh mappings, makes the next frame reuse the same pages.
// Settings the user made through GLIBC_TUNABLES are left as they are.
void keepHeapForFrames() {
  static const bool once = [] {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables != nullptr && std::strstr(tunables, "glibc.malloc.") != nullptr) return false;
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    return true;
  }();
  (void)once;
}

}  // namespace

std::shared_ptr<Engine> Engine::create(std::shared_ptr<QlPlatform::NativeWindow> window, std::uint16_t width,
                                       std::uint16_t height) {
  if (!window || width == 0 || height == 0) return nullptr;
  if (!window->createGlContext()) {
    std::fprintf(stderr, "quillorane: cannot create an OpenGL 3.3 core context: %s\n",
                 QlPlatform::lastError().c_str());
    return nullptr;
  }
  if (epoxy_gl_version() < 33) {
    std::fprintf(stderr, "quillorane: OpenGL 3.3 is needed, the driver offers %d.%d\n", epoxy_gl_version() / 10,
                 epoxy_gl_version() % 10);
    return nullptr;
  }
  keepHeapForFrames();
  std::shared_ptr<Engine> e(new Engine());
  e->device_ = std::make_shared<Device>();
  Device& d = *e->device_;
  d.window = std::move(window);
  glGenVertexArrays(1, &d.vao);
  glBindVertexArray(d.vao);
  glGenBuffers(1, &d.streamVbo);
  glGenBuffers(1, &d.streamEbo);
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  d.maxTextureSize = static_cast<GLuint>(std::min(maxSize, 65535));
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_SCISSOR_TEST);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  d.applyBlend(BlendMode::Opaque);
  d.applyCull(CullMode::None);
  e->width_ = width;
  e->height_ = height;
  e->backBuffer_ = GlTarget::create(e->device_, width, height, TextureFormat::Xrgb);
  if (!e->backBuffer_) return nullptr;
  e->setTarget(nullptr);
  return e;
}

Engine::~Engine() {
  target_.reset();
  vertexBuffer_.reset();
  indexBuffer_.reset();
  backBuffer_.reset();
}

std::shared_ptr<ITexture> Engine::createTexture(std::uint16_t width, std::uint16_t height, int format) {
  if (width == 0 || height == 0 || (format != TextureFormat::Argb && format != TextureFormat::Xrgb)) return nullptr;
  if (width > device_->maxTextureSize || height > device_->maxTextureSize) return nullptr;
  const GLuint name = makeTexture(*device_, width, height, format);
  if (name == 0) return nullptr;
  return std::make_shared<GlTexture>(device_, name, width, height, format);
}

std::shared_ptr<ITarget> Engine::createTarget(std::uint16_t width, std::uint16_t height, int format) {
  if (width == 0 || height == 0 || (format != TextureFormat::Argb && format != TextureFormat::Xrgb)) return nullptr;
  if (width > device_->maxTextureSize || height > device_->maxTextureSize) return nullptr;
  return GlTarget::create(device_, width, height, format);
}

std::shared_ptr<IVertexBuffer> Engine::createVertexBuffer(int format, int storage) {
  if (vertexLayout(format) == nullptr || (storage != Storage::System && storage != Storage::Device)) return nullptr;
  return std::make_shared<GlVertexBuffer>(device_, format, storage);
}

std::shared_ptr<IIndexBuffer> Engine::createIndexBuffer(int format, int storage) {
  if ((format != IndexFormat::Index16 && format != IndexFormat::Index32) ||
      (storage != Storage::System && storage != Storage::Device))
    return nullptr;
  return std::make_shared<GlIndexBuffer>(device_, format, storage);
}

std::shared_ptr<IShader> Engine::createShader(const char* source, std::size_t length) {
  std::string error;
  auto s = GlShader::create(device_, source, length, error);
  if (!s) std::fprintf(stderr, "quillorane: effect compile error: %s\n", error.c_str());
  return s;
}

std::shared_ptr<IEngineCaps> Engine::getCaps() {
  if (!caps_) caps_ = std::make_shared<GlEngineCaps>(static_cast<std::uint16_t>(device_->maxTextureSize));
  return caps_;
}

bool Engine::setScreenMode(int mode) {
  if (mode != ScreenMode::Window && mode != ScreenMode::FullScreen) return false;
  if (mode == screenMode_) return true;
  screenMode_ = mode;
  modePending_ = true;
  return true;
}

void Engine::applyScreenMode() {
  if (!modePending_) return;
  modePending_ = false;
  device_->window->setDesktopFullscreen(screenMode_ == ScreenMode::FullScreen);
}

bool Engine::setBlendMode(int mode) {
  if (mode < BlendMode::Opaque || mode > BlendMode::Subtract) return false;
  device_->blendMode = mode;
  device_->applyBlend(mode);
  return true;
}

bool Engine::setCullMode(int mode) {
  if (mode < CullMode::None || mode > CullMode::CounterClockwise) return false;
  device_->cullMode = mode;
  device_->applyCull(mode);
  return true;
}

bool Engine::setTarget(const std::shared_ptr<ITarget>& target) {
  GlTarget* t = target ? dynamic_cast<GlTarget*>(target.get()) : backBuffer_.get();
  if (t == nullptr) return false;
  if (target_ != target) target_ = target;
  if (device_->boundFramebuffer == t->framebuffer()) return true;
  glBindFramebuffer(GL_FRAMEBUFFER, t->framebuffer());
  device_->boundFramebuffer = t->framebuffer();
  viewportW_ = t->getWidth();
  viewportH_ = t->getHeight();
  glViewport(0, 0, viewportW_, viewportH_);
  glDepthRange(0.0, 1.0);
  return true;
}

bool Engine::setVertexBuffer(const std::shared_ptr<IVertexBuffer>& buffer) {
  if (buffer && dynamic_cast<GlVertexBuffer*>(buffer.get()) == nullptr) return false;
  vertexBuffer_ = buffer;
  return true;
}

bool Engine::setIndexBuffer(const std::shared_ptr<IIndexBuffer>& buffer) {
  if (buffer && dynamic_cast<GlIndexBuffer*>(buffer.get()) == nullptr) return false;
  indexBuffer_ = buffer;
  return true;
}

bool Engine::clear(Color color) {
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f, static_cast<float>((color >> 8) & 0xFF) / 255.0f,
               static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>(color >> 24) / 255.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  return true;
}

bool Engine::clearDepth(float z) {
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  glDepthMask(GL_TRUE);
  glClearDepth(static_cast<double>(z));
  glClear(GL_DEPTH_BUFFER_BIT);
  glDepthMask(mask);
  return true;
}

bool Engine::beginScene() {
  applyScreenMode();
  return true;
}

bool Engine::endScene() { return true; }

namespace {

GLenum glMode(int primitive) {
  switch (primitive) {
    case Primitive::PointList: return GL_POINTS;
    case Primitive::LineList: return GL_LINES;
    case Primitive::LineStrip: return GL_LINE_STRIP;
    case Primitive::TriangleList: return GL_TRIANGLES;
    case Primitive::TriangleStrip: return GL_TRIANGLE_STRIP;
    case Primitive::TriangleFan: return GL_TRIANGLE_FAN;
    default: return 0xFFFFFFFFu;
  }
}

void setAttribute(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride, int offset,
                  GLintptr base) {
  if (offset < 0) {
    glDisableVertexAttribArray(index);
    return;
  }
  glEnableVertexAttribArray(index);
  glVertexAttribPointer(index, size, type, normalized, stride, reinterpret_cast<const void*>(base + offset));
}

void streamInto(GLenum target, GLuint buffer, GLsizeiptr& capacity, const void* data, GLsizeiptr bytes) {
  // A fresh store of exactly the drawn size each time: the driver recycles the old one once
  // the GPU is done with it, so a small draw never pays for a large earlier one.
  glBindBuffer(target, buffer);
  glBufferData(target, bytes, data, GL_STREAM_DRAW);
  capacity = bytes;
}

}  // namespace

// Makes the current vertex buffer's vertices [start, start + vertexCount) available to GL and
// returns the index of vertex `start` in firstVertex. `whole` streams the entire buffer.
bool Engine::bindVertices(GLuint& firstVertex, std::uint32_t start, std::uint32_t vertexCount, bool whole) {
  auto* vb = static_cast<GlVertexBuffer*>(vertexBuffer_.get());
  Device& d = *device_;
  const VertexLayout* l = vb->getDeclaration();
  GLuint buffer = 0;
  if (vb->getStorage() == Storage::Device) {
    buffer = static_cast<GLuint>(vb->getDeviceBuffer());
    firstVertex = start;
  } else {
    const std::uint32_t from = whole ? 0 : start;
    const std::uint32_t n = whole ? vb->getCount() : vertexCount;
    streamInto(GL_ARRAY_BUFFER, d.streamVbo, d.streamVboSize, vb->bytes() + static_cast<std::size_t>(from) * l->stride,
               static_cast<GLsizeiptr>(n) * l->stride);
    buffer = d.streamVbo;
    firstVertex = whole ? start : 0;
  }
  if (d.boundArray != buffer || d.boundFormat != vb->getFormat() || d.boundOffset != 0) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLsizei s = l->stride;
    setAttribute(0, 3, GL_FLOAT, GL_FALSE, s, l->position, 0);
    setAttribute(1, 3, GL_FLOAT, GL_FALSE, s, l->blendWeights, 0);
    setAttribute(2, 4, GL_UNSIGNED_BYTE, GL_FALSE, s, l->blendIndices, 0);
    setAttribute(3, 3, GL_FLOAT, GL_FALSE, s, l->normal, 0);
    setAttribute(4, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, l->diffuse, 0);
    setAttribute(5, 2, GL_FLOAT, GL_FALSE, s, l->texCoord, 0);
    d.boundArray = buffer;
    d.boundFormat = vb->getFormat();
    d.boundOffset = 0;
  }
  return true;
}

bool Engine::draw(int primitive, std::uint32_t count, std::uint32_t start) {
  if (!vertexBuffer_) return false;
  const GLenum mode = glMode(primitive);
  const std::uint32_t n = primitiveVertexCount(primitive, count);
  if (mode == 0xFFFFFFFFu) return false;
  if (n == 0) return true;
  if (static_cast<std::uint64_t>(start) + n > vertexBuffer_->getCount()) return false;
  if (device_->activeShader == nullptr) return false;  // every draw runs through an effect
  device_->activeShader->flush();
  GLuint first = 0;
  bindVertices(first, start, n, false);
  glDrawArrays(mode, static_cast<GLint>(first), static_cast<GLsizei>(n));
  return true;
}

bool Engine::drawIndexed(int primitive, std::uint32_t count, std::uint32_t start) {
  if (!vertexBuffer_ || !indexBuffer_) return false;
  const GLenum mode = glMode(primitive);
  const std::uint32_t n = primitiveVertexCount(primitive, count);
  if (mode == 0xFFFFFFFFu) return false;
  if (n == 0) return true;
  if (static_cast<std::uint64_t>(start) + n > indexBuffer_->getCount()) return false;
  if (device_->activeShader == nullptr) return false;
  device_->activeShader->flush();
  auto* ib = static_cast<GlIndexBuffer*>(indexBuffer_.get());
  Device& d = *device_;
  // The largest drawn index: GL must never be asked to read a vertex the buffer lacks.
  const std::uint8_t* at = ib->bytes() + static_cast<std::size_t>(start) * ib->getStride();
  std::uint32_t top = 0;
  if (ib->getFormat() == IndexFormat::Index16) {
    const auto* i16 = reinterpret_cast<const std::uint16_t*>(at);
    for (std::uint32_t i = 0; i < n; ++i) top = i16[i] > top ? i16[i] : top;
  } else {
    const auto* i32 = reinterpret_cast<const std::uint32_t*>(at);
    for (std::uint32_t i = 0; i < n; ++i) top = i32[i] > top ? i32[i] : top;
  }
  if (top >= vertexBuffer_->getCount()) return false;
  GLuint first = 0;
  if (vertexBuffer_->getStorage() == Storage::Device) {
    bindVertices(first, 0, 0, true);
  } else {
    bindVertices(first, 0, top + 1, false);  // only the vertices the indices reach
  }
  const GLenum type = ib->getFormat() == IndexFormat::Index16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
  GLintptr offset = 0;
  if (ib->getStorage() == Storage::Device) {
    const GLuint ebo = static_cast<GLuint>(ib->getDeviceBuffer());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo);
    offset = static_cast<GLintptr>(start) * ib->getStride();
  } else {
    streamInto(GL_ELEMENT_ARRAY_BUFFER, d.streamEbo, d.streamEboSize,
               ib->bytes() + static_cast<std::size_t>(start) * ib->getStride(),
               static_cast<GLsizeiptr>(n) * ib->getStride());
  }
  glDrawElements(mode, static_cast<GLsizei>(n), type, reinterpret_cast<const void*>(offset));
  return true;
}

void Engine::presentRect(int& x, int& y, int& w, int& h) const {
  int dw = 0, dh = 0;
  device_->window->drawableSize(dw, dh);
  if (dw <= 0 || dh <= 0) {
    dw = width_;
    dh = height_;
  }
  // Scale to fit with the aspect ratio kept; the rest of the window is black.
  QlPlatform::fitRect(dw, dh, width_, height_, x, y, w, h);
}

bool Engine::present() {
  int x = 0, y = 0, w = 0, h = 0;
  presentRect(x, y, w, h);
  int dw = 0, dh = 0;
  device_->window->drawableSize(dw, dh);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->framebuffer());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  device_->boundFramebuffer = 0xFFFFFFFFu;
  glViewport(0, 0, dw, dh);
  if (w != dw || h != dh) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // Back-buffer rows are top-down; the window's rows count from the bottom.
  const int y0 = dh - y;
  glBlitFramebuffer(0, 0, width_, height_, x, y0, x + w, y0 - h, GL_COLOR_BUFFER_BIT,
                    (w == width_ && h == height_) ? GL_NEAREST : GL_LINEAR);
  device_->window->swap();
  setTarget(target_);
  return true;
}

std::vector<Color> Engine::readBackBuffer() {
  std::vector<Color> pixels(static_cast<std::size_t>(width_) * height_);
  GLint previous = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->framebuffer());
  glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
  device_->boundFramebuffer = 0xFFFFFFFFu;
  for (Color& c : pixels) c |= 0xFF000000u;  // the back buffer has no alpha channel to show
  return pixels;
}

}  // namespace QlGraphics::Gl
