#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The rendering engine interface. Everything that draws (canvases, images, fonts, the 3D
// world, effects, video) knows only these interfaces; the OpenGL back end lives in
// QlGraphics::Gl. Creation operations return an empty pointer on failure and never throw.
namespace QlGraphics {

using Color = std::uint32_t;  // 0xAARRGGBB; in memory the bytes are B, G, R, A

struct Vector2 {
  float x = 0, y = 0;
};
struct Vector3 {
  float x = 0, y = 0, z = 0;
};
struct Vector4 {
  float x = 0, y = 0, z = 0, w = 0;
};
// 4 x 4 row-major matrix used with row vectors (v' = v * M).
struct Matrix {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

namespace TextureFormat {
constexpr int Unknown = 0, Argb = 1, Xrgb = 2;
}
namespace ScreenMode {
constexpr int Window = 1, FullScreen = 2;
}
namespace BlendMode {
constexpr int Opaque = 0, Alpha = 1, Add = 2, Subtract = 3;
}
namespace CullMode {
constexpr int None = 0, Clockwise = 1, CounterClockwise = 2;
}
namespace Primitive {
constexpr int PointList = 1, LineList = 2, LineStrip = 3, TriangleList = 4, TriangleStrip = 5, TriangleFan = 6;
}
namespace Storage {
constexpr int System = 1, Device = 2;
}
namespace IndexFormat {
constexpr int Index16 = 1, Index32 = 2;
}

// Stride in bytes of vertex formats 1..10 (0 for anything else).
std::uint32_t vertexStride(int format);

// Byte offsets of the fields of a vertex format; -1 where the format has no such field.
struct VertexLayout {
  int stride = 0;
  int position = -1, blendWeights = -1, blendIndices = -1, normal = -1, diffuse = -1, texCoord = -1;
};
const VertexLayout* vertexLayout(int format);  // null for an unknown format

// Native object names of the back end (GL object names on this platform).
using NativeHandle = std::uintptr_t;

class ITextureBuffer {
 public:
  virtual ~ITextureBuffer() = default;
  virtual int getFormat() const = 0;
  virtual std::uint16_t getWidth() const = 0;
  virtual std::uint16_t getHeight() const = 0;
  virtual std::uint32_t getPitch() const = 0;
  virtual std::uint8_t* pixelAt(int x, int y) = 0;
  virtual std::uint8_t* rowAt(int y) = 0;
  virtual std::uint8_t* getBits() = 0;
};

// Textures are always made by the engine as shared objects, so a holder of a plain pointer
// (an image region) can take shared ownership when it needs to keep one.
class ITexture : public std::enable_shared_from_this<ITexture> {
 public:
  virtual ~ITexture() = default;
  virtual int getFormat() const = 0;
  virtual std::uint16_t getWidth() const = 0;
  virtual std::uint16_t getHeight() const = 0;
  virtual float toU(float x) const = 0;
  virtual float toV(float y) const = 0;
  // Top-down rows of 32-bit pixels (B, G, R, A bytes). The pixels are uploaded by unlock.
  virtual std::shared_ptr<ITextureBuffer> lock() = 0;
  virtual void unlock() = 0;
  virtual void setHandle(NativeHandle handle) = 0;
  virtual void releaseHandle() = 0;
  virtual NativeHandle getHandle() const = 0;
};

class ITargetBuffer {
 public:
  virtual ~ITargetBuffer() = default;
  virtual std::uint16_t getWidth() const = 0;
  virtual std::uint16_t getHeight() const = 0;
  virtual NativeHandle getSurface() const = 0;
  virtual void setSurface(NativeHandle surface) = 0;
  virtual void releaseSurface() = 0;
};

class ITarget {
 public:
  virtual ~ITarget() = default;
  virtual std::uint16_t getWidth() const = 0;
  virtual std::uint16_t getHeight() const = 0;
  virtual std::shared_ptr<ITexture> getTexture() const = 0;
  virtual std::shared_ptr<ITargetBuffer> getColorBuffer() const = 0;
  virtual std::shared_ptr<ITargetBuffer> getDepthBuffer() const = 0;
};

class IVertexBuffer {
 public:
  virtual ~IVertexBuffer() = default;
  virtual int getFormat() const = 0;
  virtual int getStorage() const = 0;
  virtual std::uint32_t getCount() const = 0;
  virtual std::uint32_t getStride() const = 0;
  virtual std::uint32_t getSize() const = 0;
  virtual void* elementAt(std::uint32_t index) = 0;
  virtual float* positionAt(std::uint32_t index) = 0;
  virtual float* blendWeightsAt(std::uint32_t index) = 0;
  virtual std::uint8_t* blendIndicesAt(std::uint32_t index) = 0;
  virtual float* normalAt(std::uint32_t index) = 0;
  virtual Color* diffuseAt(std::uint32_t index) = 0;
  virtual float* texCoordAt(std::uint32_t index) = 0;
  virtual void clear() = 0;
  virtual bool append(const void* data, std::uint32_t bytes) = 0;
  virtual NativeHandle getDeviceBuffer() = 0;
  virtual const VertexLayout* getDeclaration() const = 0;
  // Sets the size in bytes, keeping the leading contents (new bytes are zero). Lets a writer
  // reserve room once and fill it through elementAt without a call per vertex.
  virtual bool resize(std::uint32_t bytes) = 0;
};

class IIndexBuffer {
 public:
  virtual ~IIndexBuffer() = default;
  virtual int getFormat() const = 0;
  virtual int getStorage() const = 0;
  virtual std::uint32_t getCount() const = 0;
  virtual std::uint32_t getStride() const = 0;
  virtual std::uint32_t getSize() const = 0;
  virtual void* elementAt(std::uint32_t index) = 0;
  virtual void clear() = 0;
  virtual bool append(const void* data, std::uint32_t bytes) = 0;
  virtual NativeHandle getDeviceBuffer() = 0;
  virtual bool resize(std::uint32_t bytes) = 0;
};

// A compiled effect program. Parameters are addressed by the names the source declares;
// unknown names are ignored (false). Values set between begin and end take effect at commit.
class IShader {
 public:
  virtual ~IShader() = default;
  virtual bool setValue(std::u16string_view name, const void* data, std::uint32_t bytes) = 0;
  virtual bool setBool(std::u16string_view name, bool value) = 0;
  virtual bool setBoolArray(std::u16string_view name, const bool* values, std::uint32_t count) = 0;
  virtual bool setInt(std::u16string_view name, int value) = 0;
  virtual bool setIntArray(std::u16string_view name, const int* values, std::uint32_t count) = 0;
  virtual bool setFloat(std::u16string_view name, float value) = 0;
  virtual bool setFloatArray(std::u16string_view name, const float* values, std::uint32_t count) = 0;
  virtual bool setVector(std::u16string_view name, float x, float y, float z, float w) = 0;
  virtual bool setVector3(std::u16string_view name, const Vector3& v) = 0;
  virtual bool setVector2(std::u16string_view name, const Vector2& v) = 0;
  virtual bool setVectorArray(std::u16string_view name, const Vector4* values, std::uint32_t count) = 0;
  virtual bool setVector3Array(std::u16string_view name, const Vector3* values, std::uint32_t count) = 0;
  virtual bool setVector2Array(std::u16string_view name, const Vector2* values, std::uint32_t count) = 0;
  virtual bool setColor(std::u16string_view name, Color color) = 0;
  virtual bool setColorArray(std::u16string_view name, const Color* colors, std::uint32_t count) = 0;
  virtual bool setMatrix(std::u16string_view name, const Matrix& m) = 0;
  virtual bool setMatrixArray(std::u16string_view name, const Matrix* ms, std::uint32_t count) = 0;
  virtual bool setTexture(std::u16string_view name, const std::shared_ptr<ITexture>& texture) = 0;
  virtual bool begin() = 0;
  virtual bool end() = 0;
  virtual bool commit() = 0;
};

class IEngineCaps {
 public:
  virtual ~IEngineCaps() = default;
  virtual std::u16string getName() const = 0;
  virtual std::u16string getShaderLanguage() const = 0;
  virtual std::uint16_t getMaxTextureWidth() const = 0;
  virtual std::uint16_t getMaxTextureHeight() const = 0;
};

class IEngine {
 public:
  virtual ~IEngine() = default;
  virtual std::shared_ptr<ITexture> createTexture(std::uint16_t width, std::uint16_t height, int format) = 0;
  virtual std::shared_ptr<ITarget> createTarget(std::uint16_t width, std::uint16_t height, int format) = 0;
  virtual std::shared_ptr<IVertexBuffer> createVertexBuffer(int format, int storage) = 0;
  virtual std::shared_ptr<IIndexBuffer> createIndexBuffer(int format, int storage) = 0;
  virtual std::shared_ptr<IShader> createShader(const char* source, std::size_t length) = 0;
  virtual std::shared_ptr<IEngineCaps> getCaps() = 0;
  virtual std::uint16_t getWidth() const = 0;
  virtual std::uint16_t getHeight() const = 0;
  virtual bool setScreenMode(int mode) = 0;
  virtual int getScreenMode() const = 0;
  virtual bool setBlendMode(int mode) = 0;
  virtual int getBlendMode() const = 0;
  virtual bool setCullMode(int mode) = 0;
  virtual int getCullMode() const = 0;
  virtual bool setTarget(const std::shared_ptr<ITarget>& target) = 0;
  virtual std::uint16_t getTargetWidth() const = 0;
  virtual std::uint16_t getTargetHeight() const = 0;
  virtual bool setVertexBuffer(const std::shared_ptr<IVertexBuffer>& buffer) = 0;
  virtual std::shared_ptr<IVertexBuffer> getVertexBuffer() const = 0;
  virtual bool setIndexBuffer(const std::shared_ptr<IIndexBuffer>& buffer) = 0;
  virtual std::shared_ptr<IIndexBuffer> getIndexBuffer() const = 0;
  virtual bool clear(Color color) = 0;
  virtual bool clearDepth(float z) = 0;
  virtual bool beginScene() = 0;
  virtual bool endScene() = 0;
  virtual bool draw(int primitive, std::uint32_t count, std::uint32_t start) = 0;
  virtual bool drawIndexed(int primitive, std::uint32_t count, std::uint32_t start) = 0;
  virtual bool present() = 0;
};

// Number of vertices (or indices) that count primitives of a type use; 0 for an unknown type.
// A count whose vertices would not fit 32 bits gives 0xFFFFFFFF, which no buffer holds, so an
// absurd count is refused rather than wrapping to a small one.
std::uint32_t primitiveVertexCount(int primitive, std::uint32_t count);

// Compiles a GLSL program through the engine; empty if the engine speaks another shader
// language or refuses the program. The effects' createShader goes through here.
std::shared_ptr<IShader> createGlslShader(IEngine& engine, const char* source);

}  // namespace QlGraphics
