# The 3D world and video suites.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QL_FFMPEG_TEST REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
ql_add_test(graphics_world_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/TransformTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModelLoaderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WorldTest.cpp LIBS ql_graphics)
ql_add_test(graphics_video_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/VideoTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VideoImageTest.cpp
  LIBS ql_graphics PkgConfig::QL_FFMPEG_TEST)
