# The 3D world (Metasequoia models, actors, the 3D renderer and effects) and video playback
# on FFmpeg, built into ql_graphics.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QL_FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
find_package(Threads REQUIRED)

target_sources(ql_graphics PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/world/Transform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/world/ModelLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/world/Effects3d.cpp
  ${CMAKE_CURRENT_LIST_DIR}/world/Model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video/VideoData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video/Video.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video/MovieSound.cpp)
target_link_libraries(ql_graphics PRIVATE PkgConfig::QL_FFMPEG PUBLIC ql_sound Threads::Threads)
# Models and movies through the graphics file loader and image loading.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/Images.cpp)
  target_sources(ql_graphics PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/world/ModelFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/video/VideoFiles.cpp)
endif()
