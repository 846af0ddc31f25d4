# The layers of the library's own logic. tamberlyx_layer(name BELOW lower...)
# makes the static library tamberlyx_<name> of src/<name>/*.cpp, linked to the
# libraries of the layers below it, and compiled against a tree of its own
# in the build directory: links to src/<name>, to each lower layer's folder
# and to the platform's boundary headers, nothing else. TAMBERLYX_LAYERS
# lists the layer libraries from the top, in link order.

set(TAMBERLYX_LAYERS "")
set(TAMBERLYX_LAYER_TREES ${CMAKE_BINARY_DIR}/layer-trees)
file(REMOVE_RECURSE ${TAMBERLYX_LAYER_TREES})
file(GLOB TAMBERLYX_PLATFORM_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/*.h)

function(tamberlyx_layer name)
  cmake_parse_arguments(LAYER "" "" "BELOW" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  add_library(tamberlyx_${name} STATIC ${sources})

  set(tree ${TAMBERLYX_LAYER_TREES}/${name})
  file(MAKE_DIRECTORY ${tree}/platform)
  foreach(folder ${name} ${LAYER_BELOW})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${tree}/${folder} SYMBOLIC)
  endforeach()
  # The boundary headers only: platform/sim and platform/win32 are the
  # platform's own business.
  foreach(header ${TAMBERLYX_PLATFORM_HEADERS})
    get_filename_component(header_name ${header} NAME)
    file(CREATE_LINK ${header} ${tree}/platform/${header_name} SYMBOLIC)
  endforeach()
  target_include_directories(tamberlyx_${name} PRIVATE ${tree})

  foreach(lower ${LAYER_BELOW})
    target_link_libraries(tamberlyx_${name} PUBLIC tamberlyx_${lower})
  endforeach()
  set(TAMBERLYX_LAYERS tamberlyx_${name} ${TAMBERLYX_LAYERS} PARENT_SCOPE)
endfunction()
