# Tamberlyx.dll: the library's logic over the real Windows platform layer.
file(GLOB TAMBERLYX_WIN32_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/win32/*.cpp)
add_library(tamberlyx_win32 STATIC ${TAMBERLYX_WIN32_SOURCES})
target_include_directories(tamberlyx_win32 PUBLIC ${PROJECT_SOURCE_DIR}/src)
# WinUSB is not among them: it is loaded at run time.
target_link_libraries(tamberlyx_win32 PUBLIC setupapi hid user32)

set(TAMBERLYX_EXPORTS_DEF ${PROJECT_SOURCE_DIR}/cmake/Tamberlyx.def)
add_library(Tamberlyx SHARED ${PROJECT_SOURCE_DIR}/src/jni/library_main.cpp)
# Every archive whole: the exported methods live in the jni layer, and the
# shared trace words must be in the image even before anything uses them.
target_link_libraries(Tamberlyx PRIVATE
  -Wl,--whole-archive ${TAMBERLYX_LAYERS} tamberlyx_win32 -Wl,--no-whole-archive setupapi hid user32)
# Only the 19 names of the .def file are exported, undecorated.
target_link_options(Tamberlyx PRIVATE ${TAMBERLYX_EXPORTS_DEF} -Wl,--exclude-all-symbols -Wl,--no-undefined)
set_target_properties(Tamberlyx PROPERTIES
  TAMBERLYX_OVER_WIN32 ON
  PREFIX ""
  LINK_DEPENDS ${TAMBERLYX_EXPORTS_DEF}
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
