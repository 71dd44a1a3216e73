# Image, font and 2D effect test programs.
find_package(ZLIB REQUIRED)
ql_add_test(graphics_image_tests SOURCES ImageDecodeTest.cpp ImageEngineTest.cpp LIBS ql_graphics ql_archive ZLIB::ZLIB)
ql_add_test(graphics_font_tests SOURCES FontTest.cpp LIBS ql_graphics)
ql_add_test(graphics_effect_tests SOURCES EffectTest.cpp LIBS ql_graphics)
