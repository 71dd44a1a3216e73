# Images (decoding, loading, saving), fonts (rasterising, face lookup, glyph atlases) and the
# 2D colour effects, built into ql_graphics.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QL_MEDIA REQUIRED IMPORTED_TARGET SDL2_image freetype2 fontconfig)

target_sources(ql_graphics PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ImageData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphicsFileLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Images.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font/FaceLibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font/FontCache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font/Fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/effects/Effects2d.cpp)
target_link_libraries(ql_graphics PUBLIC ql_io PkgConfig::QL_MEDIA)
