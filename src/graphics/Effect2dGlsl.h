// GLSL text shared by the 2D programs (the basic effect, the screen copy and the 2D effects),
// as string-literal macros so each program stays one constant.
#pragma once

// Positions arrive in target pixels (already moved onto pixel corners by the canvas);
// qlPixelToClip places them so that pixel (x, y) of the target is row y, column x of its
// texture, top row first. Colour and texture coordinate are passed on unchanged.
#define QL_EFFECT2D_VERTEX_STAGE                                                              \
    "uniform int nTargetWidth;\n"                                                            \
    "uniform int nTargetHeight;\n"                                                           \
    "#pragma ql vertex\n"                                                                    \
    "out vec4 vColor;\n"                                                                     \
    "out vec2 vTexCoord;\n"                                                                  \
    "void main() {\n"                                                                        \
    "  gl_Position = qlPixelToClip(qlPosition, float(nTargetWidth), float(nTargetHeight));\n" \
    "  vColor = qlColor;\n"                                                                  \
    "  vTexCoord = qlTexCoord;\n"                                                            \
    "}\n"

// Head of a 2D effect program, the parameters applyCommon2d fills and the vertex stage;
// each effect appends its fragment stage.
#define QL_EFFECT2D_HEAD                                                                     \
    "#pragma ql technique textured\n"                                                        \
    "#pragma ql state cull=none depth=off\n"                                                 \
    "uniform int nTextured;\n"                                                               \
    "uniform sampler2D tBase;\n" QL_EFFECT2D_VERTEX_STAGE
