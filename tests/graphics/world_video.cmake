# The 3D world and video suites.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QL_FFMPEG_TEST REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
set(ql_world_test_sources
  ${CMAKE_CURRENT_LIST_DIR}/TransformTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModelLoaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorldTest.cpp)
set(ql_video_test_sources
  ${CMAKE_CURRENT_LIST_DIR}/VideoTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoImageTest.cpp)
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/MemoryFiles.h)
  list(APPEND ql_world_test_sources ${CMAKE_CURRENT_LIST_DIR}/WorldFilesTest.cpp)
  list(APPEND ql_video_test_sources ${CMAKE_CURRENT_LIST_DIR}/VideoFilesTest.cpp)
endif()
ql_add_test(graphics_world_tests SOURCES ${ql_world_test_sources} LIBS ql_graphics)
ql_add_test(graphics_video_tests SOURCES ${ql_video_test_sources} LIBS ql_graphics ql_archive PkgConfig::QL_FFMPEG_TEST)
