# The third-party libraries of the MinGW-w64 cross build, under the target names the Linux
# build gets from find_package(), so the rest of the build is the same on both systems.
# - header-only: {fmt} (FMT_HEADER_ONLY), CLI11, nlohmann/json and SimpleIni from Debian's
#   packages. Only their own folders are linked into _deps/include: /usr/include as a whole
#   holds Linux headers that must never reach the cross compiler.
# - zlib: Debian's libz-mingw-w64-dev, static.
# - pugixml: compiled here from Debian's source package, unpacked into _deps by
#   scripts/test-windows (`apt-get source pugixml`).
# - GoogleTest: compiled here from /usr/src/googletest (libgtest-dev).

set(TARNWICK_DEPS_DIR "${PROJECT_BINARY_DIR}/_deps" CACHE PATH
  "Where the third-party code of the cross build is staged")
set(staged "${TARNWICK_DEPS_DIR}/include")
file(MAKE_DIRECTORY "${staged}")
foreach(entry fmt CLI nlohmann SimpleIni.h)
  if(NOT EXISTS "/usr/include/${entry}")
    message(FATAL_ERROR "/usr/include/${entry} is missing: install libfmt-dev, libcli11-dev, "
      "nlohmann-json3-dev and libsimpleini-dev (scripts/test-windows does)")
  endif()
  file(CREATE_LINK "/usr/include/${entry}" "${staged}/${entry}" SYMBOLIC)
endforeach()

add_library(fmt::fmt INTERFACE IMPORTED)
set_target_properties(fmt::fmt PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${staged}"
  INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${staged}")
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${staged}")
set(SIMPLEINI_INCLUDE_DIR "${staged}" CACHE PATH "SimpleIni.h staged for the cross build" FORCE)

file(GLOB pugixml_dirs "${TARNWICK_DEPS_DIR}/pugixml-*/src/pugixml.cpp")
if(NOT pugixml_dirs)
  message(FATAL_ERROR "No pugixml source in ${TARNWICK_DEPS_DIR}: run scripts/test-windows, "
    "or `apt-get source pugixml` there (needs a deb-src entry)")
endif()
list(GET pugixml_dirs -1 pugixml_source)
get_filename_component(pugixml_src_dir "${pugixml_source}" DIRECTORY)
add_library(pugixml STATIC "${pugixml_source}")
target_include_directories(pugixml SYSTEM PUBLIC "${pugixml_src_dir}")
add_library(pugixml::pugixml ALIAS pugixml)

if(TARNWICK_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # GoogleTest's own warnings are not ours to fix.
  add_subdirectory(/usr/src/googletest "${TARNWICK_DEPS_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
