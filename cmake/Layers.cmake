# The driver is built as one static library per layer, each linking only the
# layers below it:
#
#   platform  the operating system's services
#   base      the driver context, the log, errors, the counted locks
#   config    parameters, the settings file, the dialog's model
#   image     adapters, extraction, filters, the adapter registry
#   camera    the camera list and the cameras
#   driver    what the exported entry points need beyond the camera layer
#
# A layer's include path holds its own folder and, through what it links, the
# folders of the layers below, and nothing else: an include that runs upward
# fails to build. Each folder is reached through a link of its own in the
# build tree, as the source root itself would show every folder.
function(vavezaz_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "LINKS")
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${name} ${root}/${name} SYMBOLIC)
  add_library(vavezaz_${name} STATIC)
  target_include_directories(vavezaz_${name} PUBLIC ${root})
  target_link_libraries(vavezaz_${name} PUBLIC ${layer_LINKS})
  if(NOT WIN32)
    target_compile_options(vavezaz_${name} PRIVATE -fvisibility=hidden)
  endif()
endfunction()
