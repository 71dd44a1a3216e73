#pragma once
#include <epoxy/gl.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/gl/GlEngine.h"

namespace QlGraphics::Gl {

// Pass state an effect source asks for with "#pragma ql state ...".
struct PassState {
  enum Tri { Keep, Off, On };
  int cull = -1;       // -1 keeps the engine's cull mode, else a CullMode value
  Tri depth = Off;     // depth test and depth writes
  int blend = -1;      // -1 keeps the engine's blend mode, else a BlendMode value
};

// A linked GLSL program made from an effect source, with its parameters kept on the CPU side
// and uploaded at begin, commit and draw.
class GlShader : public IShader {
 public:
  static std::shared_ptr<GlShader> create(std::shared_ptr<Device> device, const char* source, std::size_t length,
                                          std::string& error);
  ~GlShader() override;

  bool setValue(std::u16string_view name, const void* data, std::uint32_t bytes) override;
  bool setBool(std::u16string_view name, bool value) override;
  bool setBoolArray(std::u16string_view name, const bool* values, std::uint32_t count) override;
  bool setInt(std::u16string_view name, int value) override;
  bool setIntArray(std::u16string_view name, const int* values, std::uint32_t count) override;
  bool setFloat(std::u16string_view name, float value) override;
  bool setFloatArray(std::u16string_view name, const float* values, std::uint32_t count) override;
  bool setVector(std::u16string_view name, float x, float y, float z, float w) override;
  bool setVector3(std::u16string_view name, const Vector3& v) override;
  bool setVector2(std::u16string_view name, const Vector2& v) override;
  bool setVectorArray(std::u16string_view name, const Vector4* values, std::uint32_t count) override;
  bool setVector3Array(std::u16string_view name, const Vector3* values, std::uint32_t count) override;
  bool setVector2Array(std::u16string_view name, const Vector2* values, std::uint32_t count) override;
  bool setColor(std::u16string_view name, Color color) override;
  bool setColorArray(std::u16string_view name, const Color* colors, std::uint32_t count) override;
  bool setMatrix(std::u16string_view name, const Matrix& m) override;
  bool setMatrixArray(std::u16string_view name, const Matrix* ms, std::uint32_t count) override;
  bool setTexture(std::u16string_view name, const std::shared_ptr<ITexture>& texture) override;
  bool begin() override;
  bool end() override;
  bool commit() override;

  // Uploads changed parameters and binds the textures (the program must be in use).
  void flush();
  const PassState& passState() const { return pass_; }

 private:
  struct Param {
    std::u16string name;
    GLint location = -1;
    GLenum type = 0;
    GLint arraySize = 1;
    int components = 1;   // scalars per element (16 for mat4)
    bool isFloat = true;  // float-based storage, else int-based
    int unit = -1;        // texture unit of a sampler
    std::vector<float> f;
    std::vector<GLint> i;
    std::shared_ptr<ITexture> texture;
    bool dirty = false;
  };

  GlShader() = default;
  Param* find(std::u16string_view name);
  bool setScalars(std::u16string_view name, const float* fv, const GLint* iv, std::uint32_t count);
  bool setVectors(std::u16string_view name, const Vector4* values, std::uint32_t count);

  std::shared_ptr<Device> device_;
  GLuint program_ = 0;
  std::vector<Param> params_;
  PassState pass_;
  bool began_ = false;
  bool anyDirty_ = false;
};

// Splits an effect source into its vertex and fragment programs and pass state.
bool parseEffectSource(std::string_view source, std::string& vertex, std::string& fragment, PassState& pass,
                       std::string& error);

}  // namespace QlGraphics::Gl
