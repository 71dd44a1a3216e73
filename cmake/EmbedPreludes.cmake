# Writes OUTPUT, a C++ source holding every prelude script of INPUT_DIR (NAME.nut, UTF-8) and
# Quillorane::preludeUtf8(name) to find one by NAME.
# usage: cmake -DINPUT_DIR=... -DOUTPUT=... -P EmbedPreludes.cmake
file(GLOB preludes "${INPUT_DIR}/*.nut")
list(SORT preludes)
set(body "// Generated from the prelude scripts at build time; do not edit.\n#include <string_view>\n\nnamespace Quillorane {\nnamespace {\n")
set(entries "")
set(index 0)
foreach(path IN LISTS preludes)
  get_filename_component(name "${path}" NAME_WE)
  file(READ "${path}" text)
  # One raw string literal per script; the delimiter cannot occur in a script.
  set(pieces "u8R\"QLPRELUDE(${text})QLPRELUDE\"")
  string(APPEND body "const char8_t kText${index}[] =\n${pieces};\n")
  string(APPEND entries "    {\"${name}\", kText${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "
struct Prelude {
    std::string_view name;
    const char8_t* utf8;
};
const Prelude kPreludes[] = {
${entries}    {{}, nullptr},
};

}  // namespace

std::string_view preludeUtf8(std::string_view name) {
    for (const Prelude* p = kPreludes; p->utf8; ++p)
        if (p->name == name) return std::string_view(reinterpret_cast<const char*>(p->utf8));
    return {};
}

}  // namespace Quillorane
")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
