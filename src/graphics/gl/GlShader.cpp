#include "graphics/gl/GlShader.h"

#include <cstring>
#include <sstream>

namespace QlGraphics::Gl {
namespace {

// Declarations every vertex program gets: the fixed attribute names and the two helpers that
// place positions on the current target (see docs/graphics.md).
constexpr const char* kVertexPrelude = R"(#version 330 core
in vec3 qlPosition;
in vec3 qlBlendWeights;
in vec4 qlBlendIndices;
in vec3 qlNormal;
in vec4 qlColor;
in vec2 qlTexCoord;
vec4 qlPixelToClip(vec3 p, float targetWidth, float targetHeight) {
  return vec4(2.0 * (p.x + 0.5) / targetWidth - 1.0, 2.0 * (p.y + 0.5) / targetHeight - 1.0, 0.0, 1.0);
}
vec4 qlTargetClip(vec4 c) { return vec4(c.x, -c.y, 2.0 * c.z - c.w, c.w); }
#line 1
)";

constexpr const char* kFragmentPrelude = "#version 330 core\n#line 1\n";

const char* const kAttributeNames[6] = {"qlPosition", "qlBlendWeights", "qlBlendIndices",
                                        "qlNormal",   "qlColor",        "qlTexCoord"};

// The info log of a shader or program object, through the matching pair of GL queries.
template <typename GetInt, typename GetLog>
std::string infoLog(GLuint object, GetInt getInt, GetLog getLog) {
  GLint len = 0;
  getInt(object, GL_INFO_LOG_LENGTH, &len);
  std::string log(static_cast<std::size_t>(len > 0 ? len : 1), '\0');
  getLog(object, len, nullptr, log.data());
  return std::string(log.c_str());
}

GLuint compile(GLenum stage, const std::string& text, std::string& error) {
  const GLuint s = glCreateShader(stage);
  const char* src = text.c_str();
  glShaderSource(s, 1, &src, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    error += (stage == GL_VERTEX_SHADER ? "vertex program: " : "fragment program: ") +
             infoLog(s, glGetShaderiv, glGetShaderInfoLog);
    glDeleteShader(s);
    return 0;
  }
  return s;
}

bool parseState(const std::string& words, PassState& pass, std::string& error) {
  std::istringstream in(words);
  std::string item;
  while (in >> item) {
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq), value = eq == std::string::npos ? "" : item.substr(eq + 1);
    if (key == "cull" && value == "none") pass.cull = CullMode::None;
    else if (key == "cull" && value == "cw") pass.cull = CullMode::Clockwise;
    else if (key == "cull" && value == "ccw") pass.cull = CullMode::CounterClockwise;
    else if (key == "cull" && value == "engine") pass.cull = -1;
    else if (key == "depth" && value == "on") pass.depth = PassState::On;
    else if (key == "depth" && value == "off") pass.depth = PassState::Off;
    else if (key == "blend" && value == "engine") pass.blend = -1;
    else if (key == "blend" && value == "opaque") pass.blend = BlendMode::Opaque;
    else if (key == "blend" && value == "alpha") pass.blend = BlendMode::Alpha;
    else if (key == "blend" && value == "add") pass.blend = BlendMode::Add;
    else if (key == "blend" && value == "subtract") pass.blend = BlendMode::Subtract;
    else {
      error += "unknown pass state '" + item + "'";
      return false;
    }
  }
  return true;
}

void typeInfo(GLenum type, int& components, bool& isFloat, bool& sampler) {
  sampler = false;
  isFloat = true;
  switch (type) {
    case GL_FLOAT: components = 1; return;
    case GL_FLOAT_VEC2: components = 2; return;
    case GL_FLOAT_VEC3: components = 3; return;
    case GL_FLOAT_VEC4: components = 4; return;
    case GL_FLOAT_MAT2: components = 4; return;
    case GL_FLOAT_MAT3: components = 9; return;
    case GL_FLOAT_MAT4: components = 16; return;
    default: break;
  }
  isFloat = false;
  switch (type) {
    case GL_INT: case GL_BOOL: components = 1; return;
    case GL_INT_VEC2: case GL_BOOL_VEC2: components = 2; return;
    case GL_INT_VEC3: case GL_BOOL_VEC3: components = 3; return;
    case GL_INT_VEC4: case GL_BOOL_VEC4: components = 4; return;
    case GL_SAMPLER_2D: components = 1; sampler = true; return;
    default: components = 0; return;
  }
}

bool isBoolType(GLenum t) { return t == GL_BOOL || t == GL_BOOL_VEC2 || t == GL_BOOL_VEC3 || t == GL_BOOL_VEC4; }

}  // namespace

bool parseEffectSource(std::string_view source, std::string& vertex, std::string& fragment, PassState& pass,
                       std::string& error) {
  std::string common, vs, fs;
  std::string* section = &common;
  bool haveVs = false, haveFs = false;
  std::size_t pos = 0;
  int line = 0;
  while (pos <= source.size()) {
    std::size_t end = source.find('\n', pos);
    if (end == std::string_view::npos) end = source.size();
    std::string_view text = source.substr(pos, end - pos);
    ++line;
    std::string_view t = text;
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    if (t.rfind("#pragma ql ", 0) == 0) {
      std::string rest(t.substr(11));
      while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ')) rest.pop_back();
      if (rest == "vertex") {
        section = &vs;
        haveVs = true;
        vs += "#line " + std::to_string(line + 1) + "\n";
      } else if (rest == "fragment") {
        section = &fs;
        haveFs = true;
        fs += "#line " + std::to_string(line + 1) + "\n";
      } else if (rest.rfind("state", 0) == 0) {
        if (!parseState(rest.substr(5), pass, error)) return false;
        *section += "\n";
      } else if (rest.rfind("technique", 0) == 0 || rest.rfind("pass", 0) == 0) {
        *section += "\n";  // names only; every effect has one technique with one pass
      } else {
        error += "unknown directive '#pragma ql " + rest + "'";
        return false;
      }
    } else {
      section->append(text);
      *section += '\n';
    }
    pos = end + 1;
  }
  if (!haveVs || !haveFs) {
    error += "an effect needs '#pragma ql vertex' and '#pragma ql fragment' sections";
    return false;
  }
  vertex = kVertexPrelude + common + vs;
  fragment = kFragmentPrelude + common + fs;
  return true;
}

std::shared_ptr<GlShader> GlShader::create(std::shared_ptr<Device> device, const char* source, std::size_t length,
                                           std::string& error) {
  if (source == nullptr || length == 0) {
    error = "empty effect source";
    return nullptr;
  }
  std::string vsText, fsText;
  std::shared_ptr<GlShader> shader(new GlShader());
  if (!parseEffectSource(std::string_view(source, length), vsText, fsText, shader->pass_, error)) return nullptr;
  const GLuint vs = compile(GL_VERTEX_SHADER, vsText, error);
  const GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, fsText, error) : 0;
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    return nullptr;
  }
  const GLuint prog = glCreateProgram();
  glAttachShader(prog, vs);
  glAttachShader(prog, fs);
  for (GLuint i = 0; i < 6; ++i) glBindAttribLocation(prog, i, kAttributeNames[i]);
  glLinkProgram(prog);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  if (!ok) {
    error += "link: " + infoLog(prog, glGetProgramiv, glGetProgramInfoLog);
    glDeleteProgram(prog);
    return nullptr;
  }
  shader->device_ = std::move(device);
  shader->program_ = prog;

  GLint count = 0;
  glGetProgramiv(prog, GL_ACTIVE_UNIFORMS, &count);
  // Sampler units are set with the program in use; the program that was in use comes back
  // afterwards, so making a shader never changes what a begun shader draws with.
  const GLuint previous = shader->device_->currentProgram;
  glUseProgram(prog);
  int nextUnit = 0;
  for (GLint k = 0; k < count; ++k) {
    char name[256];
    GLsizei len = 0;
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(prog, static_cast<GLuint>(k), sizeof name, &len, &size, &type, name);
    std::string n(name, static_cast<std::size_t>(len));
    if (n.size() > 3 && n.compare(n.size() - 3, 3, "[0]") == 0) n.resize(n.size() - 3);
    if (n.find('.') != std::string::npos || n.find('[') != std::string::npos) continue;  // struct members
    Param p;
    bool sampler = false;
    typeInfo(type, p.components, p.isFloat, sampler);
    if (p.components == 0) continue;
    p.name.assign(n.begin(), n.end());
    p.location = glGetUniformLocation(prog, n.c_str());
    p.type = type;
    p.arraySize = size;
    if (sampler) {
      p.unit = nextUnit++;
      glUniform1i(p.location, p.unit);
    } else if (p.isFloat) {
      p.f.assign(static_cast<std::size_t>(p.components * size), 0.0f);
    } else {
      p.i.assign(static_cast<std::size_t>(p.components * size), 0);
    }
    shader->params_.push_back(std::move(p));
  }
  glUseProgram(previous);
  return shader;
}

GlShader::~GlShader() {
  if (device_ && device_->activeShader == this) device_->activeShader = nullptr;
  if (device_ && device_->currentProgram == program_) device_->currentProgram = 0;
  if (program_ != 0) glDeleteProgram(program_);
}

GlShader::Param* GlShader::find(std::u16string_view name) {
  for (Param& p : params_)
    if (p.name == name) return &p;
  return nullptr;
}

bool GlShader::setScalars(std::u16string_view name, const float* fv, const GLint* iv, std::uint32_t count) {
  Param* p = find(name);
  if (p == nullptr || p->unit >= 0) return false;
  bool changed = false;
  if (p->isFloat) {
    const std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(p->f.size()));
    for (std::uint32_t k = 0; k < n; ++k) {
      const float v = fv ? fv[k] : static_cast<float>(iv[k]);
      changed = changed || p->f[k] != v;
      p->f[k] = v;
    }
  } else {
    const bool b = isBoolType(p->type);
    const std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(p->i.size()));
    for (std::uint32_t k = 0; k < n; ++k) {
      GLint v = iv ? iv[k] : static_cast<GLint>(fv[k]);
      if (b) v = v != 0;
      changed = changed || p->i[k] != v;
      p->i[k] = v;
    }
  }
  if (changed) p->dirty = anyDirty_ = true;
  return true;
}

bool GlShader::setVectors(std::u16string_view name, const Vector4* values, std::uint32_t count) {
  Param* p = find(name);
  if (p == nullptr || p->unit >= 0 || p->components > 4 || values == nullptr) return false;
  const std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(p->arraySize));
  for (std::uint32_t k = 0; k < n; ++k) {
    const float v[4] = {values[k].x, values[k].y, values[k].z, values[k].w};
    for (int c = 0; c < p->components; ++c) {
      const std::size_t at = k * static_cast<std::size_t>(p->components) + static_cast<std::size_t>(c);
      if (p->isFloat) p->f[at] = v[c];
      else p->i[at] = isBoolType(p->type) ? (v[c] != 0.0f) : static_cast<GLint>(v[c]);
    }
  }
  p->dirty = anyDirty_ = true;
  return true;
}

bool GlShader::setValue(std::u16string_view name, const void* data, std::uint32_t bytes) {
  Param* p = find(name);
  if (p == nullptr || p->unit >= 0 || data == nullptr) return false;
  const std::size_t cap = (p->isFloat ? p->f.size() : p->i.size()) * 4u;
  const std::size_t n = std::min<std::size_t>(bytes, cap);
  std::memcpy(p->isFloat ? static_cast<void*>(p->f.data()) : static_cast<void*>(p->i.data()), data, n);
  p->dirty = anyDirty_ = true;
  return true;
}

bool GlShader::setBool(std::u16string_view name, bool value) {
  const GLint v = value ? 1 : 0;
  return setScalars(name, nullptr, &v, 1);
}

bool GlShader::setBoolArray(std::u16string_view name, const bool* values, std::uint32_t count) {
  if (values == nullptr) return false;
  std::vector<GLint> v(values, values + count);
  return setScalars(name, nullptr, v.data(), count);
}

bool GlShader::setInt(std::u16string_view name, int value) { return setScalars(name, nullptr, &value, 1); }

bool GlShader::setIntArray(std::u16string_view name, const int* values, std::uint32_t count) {
  return values != nullptr && setScalars(name, nullptr, values, count);
}

bool GlShader::setFloat(std::u16string_view name, float value) { return setScalars(name, &value, nullptr, 1); }

bool GlShader::setFloatArray(std::u16string_view name, const float* values, std::uint32_t count) {
  return values != nullptr && setScalars(name, values, nullptr, count);
}

bool GlShader::setVector(std::u16string_view name, float x, float y, float z, float w) {
  const Vector4 v{x, y, z, w};
  return setVectors(name, &v, 1);
}

bool GlShader::setVector3(std::u16string_view name, const Vector3& v) { return setVector(name, v.x, v.y, v.z, 1.0f); }

bool GlShader::setVector2(std::u16string_view name, const Vector2& v) { return setVector(name, v.x, v.y, 0.0f, 1.0f); }

bool GlShader::setVectorArray(std::u16string_view name, const Vector4* values, std::uint32_t count) {
  return setVectors(name, values, count);
}

bool GlShader::setVector3Array(std::u16string_view name, const Vector3* values, std::uint32_t count) {
  if (values == nullptr) return false;
  std::vector<Vector4> v(count);
  for (std::uint32_t k = 0; k < count; ++k) v[k] = {values[k].x, values[k].y, values[k].z, 1.0f};
  return setVectorArray(name, v.data(), count);
}

bool GlShader::setVector2Array(std::u16string_view name, const Vector2* values, std::uint32_t count) {
  if (values == nullptr) return false;
  std::vector<Vector4> v(count);
  for (std::uint32_t k = 0; k < count; ++k) v[k] = {values[k].x, values[k].y, 0.0f, 1.0f};
  return setVectorArray(name, v.data(), count);
}

namespace {
Vector4 colorVector(Color c) {
  return {static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
          static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}
}  // namespace

bool GlShader::setColor(std::u16string_view name, Color color) {
  const Vector4 v = colorVector(color);
  return setVectors(name, &v, 1);
}

bool GlShader::setColorArray(std::u16string_view name, const Color* colors, std::uint32_t count) {
  if (colors == nullptr) return false;
  std::vector<Vector4> v(count);
  for (std::uint32_t k = 0; k < count; ++k) v[k] = colorVector(colors[k]);
  return setVectorArray(name, v.data(), count);
}

bool GlShader::setMatrix(std::u16string_view name, const Matrix& m) { return setScalars(name, &m.m[0][0], nullptr, 16); }

bool GlShader::setMatrixArray(std::u16string_view name, const Matrix* ms, std::uint32_t count) {
  return ms != nullptr && setScalars(name, &ms[0].m[0][0], nullptr, 16 * count);
}

bool GlShader::setTexture(std::u16string_view name, const std::shared_ptr<ITexture>& texture) {
  Param* p = find(name);
  if (p == nullptr || p->unit < 0) return false;
  if (p->texture != texture) {
    p->texture = texture;
    p->dirty = anyDirty_ = true;
  }
  return true;
}

void GlShader::flush() {
  if (!anyDirty_) return;
  for (Param& p : params_) {
    if (!p.dirty) continue;
    p.dirty = false;
    if (p.unit >= 0) {
      device_->bindTexture(p.unit, p.texture ? static_cast<GLuint>(p.texture->getHandle()) : 0);
      continue;
    }
    const GLint loc = p.location;
    const GLsizei n = p.arraySize;
    switch (p.type) {
      case GL_FLOAT: glUniform1fv(loc, n, p.f.data()); break;
      case GL_FLOAT_VEC2: glUniform2fv(loc, n, p.f.data()); break;
      case GL_FLOAT_VEC3: glUniform3fv(loc, n, p.f.data()); break;
      case GL_FLOAT_VEC4: glUniform4fv(loc, n, p.f.data()); break;
      case GL_FLOAT_MAT2: glUniformMatrix2fv(loc, n, GL_FALSE, p.f.data()); break;
      case GL_FLOAT_MAT3: glUniformMatrix3fv(loc, n, GL_FALSE, p.f.data()); break;
      case GL_FLOAT_MAT4: glUniformMatrix4fv(loc, n, GL_FALSE, p.f.data()); break;
      case GL_INT: case GL_BOOL: glUniform1iv(loc, n, p.i.data()); break;
      case GL_INT_VEC2: case GL_BOOL_VEC2: glUniform2iv(loc, n, p.i.data()); break;
      case GL_INT_VEC3: case GL_BOOL_VEC3: glUniform3iv(loc, n, p.i.data()); break;
      case GL_INT_VEC4: case GL_BOOL_VEC4: glUniform4iv(loc, n, p.i.data()); break;
      default: break;
    }
  }
  anyDirty_ = false;
}

bool GlShader::begin() {
  if (began_) return false;
  if (device_->currentProgram != program_) {
    glUseProgram(program_);
    device_->currentProgram = program_;
  }
  device_->activeShader = this;
  if (pass_.blend >= 0) device_->applyBlend(pass_.blend);
  if (pass_.cull >= 0) device_->applyCull(pass_.cull);
  if (pass_.depth == PassState::On) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
  } else {
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
  }
  // Texture units are shared between programs: rebind this program's textures.
  for (Param& p : params_)
    if (p.unit >= 0) p.dirty = anyDirty_ = true;
  flush();
  began_ = true;
  return true;
}

bool GlShader::end() {
  if (!began_) return false;
  began_ = false;
  if (device_->activeShader == this) device_->activeShader = nullptr;
  if (pass_.blend >= 0) device_->applyBlend(device_->blendMode);
  if (pass_.cull >= 0) device_->applyCull(device_->cullMode);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  return true;
}

bool GlShader::commit() {
  if (!began_) return false;
  flush();
  return true;
}

}  // namespace QlGraphics::Gl
