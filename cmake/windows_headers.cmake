# Headers the cross build takes from the build machine: the JDK's jni.h
# (with cmake/jni-win32/jni_md.h beside it) and the header-only JSON
# library. Neither directory may be put on the cross compiler's include
# path as a whole: /usr/include holds the build machine's C library.

find_path(TAMBERLYX_JNI_INCLUDE jni.h REQUIRED NO_CMAKE_FIND_ROOT_PATH
  HINTS $ENV{JAVA_HOME}/include /usr/lib/jvm/default-java/include /usr/lib/jvm/java-17-openjdk-amd64/include)

find_path(TAMBERLYX_JSON_INCLUDE nlohmann/json.hpp REQUIRED NO_CMAKE_FIND_ROOT_PATH
  HINTS /usr/include /usr/local/include)
set(TAMBERLYX_JSON_COPY ${CMAKE_BINARY_DIR}/host-headers)
file(COPY ${TAMBERLYX_JSON_INCLUDE}/nlohmann DESTINATION ${TAMBERLYX_JSON_COPY})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${TAMBERLYX_JSON_COPY})

# Every program and the DLL carry their own C++ runtime, so that they need
# nothing but system DLLs (no libstdc++, libgcc or winpthread DLLs).
add_link_options(-static -static-libgcc -static-libstdc++)
