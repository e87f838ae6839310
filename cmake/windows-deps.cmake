# The third-party libraries of the MinGW-w64 cross build, under the target names the Linux
# build gets from find_package(), so the rest of the build is the same on both systems.
# - header-only: {fmt} (FMT_HEADER_ONLY), CLI11, nlohmann/json and SimpleIni from Debian's
#   packages. Only their own folders are linked into _deps/include: /usr/include as a whole
#   holds Linux headers that must never reach the cross compiler.
# - zlib: Debian's libz-mingw-w64-dev, static.
# - pugixml: compiled here from Debian's source package, unpacked into _deps by
#   scripts/test-windows (`apt-get source pugixml`).
# - date/tz: compiled here from Debian's source package (`apt-get source howardhinnant-date`),
#   without the system database that Windows lacks and without downloads: it reads the zone
#   database as text from a folder tzdata beside the program (TARNWICK_TZDATA_DIR, below).
# - GeographicLib: the parts the analysis uses (Geodesic, GeodesicLine, Geocentric, Math)
#   compiled here from Debian's source package (`apt-get source geographiclib`), under the
#   target name pkg-config gives the Linux build.
# - exiv2, its XMP toolkit and expat: compiled here from Debian's source packages
#   (`apt-get source exiv2 expat`), without what the photos layer does not use
#   (windows-exiv2.cmake).
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

file(GLOB date_sources "${TARNWICK_DEPS_DIR}/howardhinnant-date-*/src/tz.cpp")
if(NOT date_sources)
  message(FATAL_ERROR "No date/tz source in ${TARNWICK_DEPS_DIR}: run scripts/test-windows, "
    "or `apt-get source howardhinnant-date` there (needs a deb-src entry)")
endif()
list(GET date_sources -1 date_source)
get_filename_component(date_root "${date_source}/../.." ABSOLUTE)
# The settings of Debian's build (C locale only, std::string_view), so the code that uses the
# library is the same on both systems.
add_library(tarnwick_date INTERFACE)
target_include_directories(tarnwick_date SYSTEM INTERFACE "${date_root}/include")
target_compile_definitions(tarnwick_date INTERFACE ONLY_C_LOCALE=1 HAS_STRING_VIEW=1)
add_library(date::date ALIAS tarnwick_date)
add_library(tarnwick_date_tz STATIC "${date_source}")
# INSTALL only gives the first folder ("./tzdata"): the programs name theirs at start. With it,
# the library never asks the shell for the Downloads folder, so no shell32 or ole32.
target_compile_definitions(tarnwick_date_tz
  PUBLIC USE_OS_TZDB=0 HAS_REMOTE_API=0 AUTO_DOWNLOAD=0
  PRIVATE INSTALL=.)
target_link_libraries(tarnwick_date_tz PUBLIC tarnwick_date)
add_library(date::date-tz ALIAS tarnwick_date_tz)

file(GLOB geographiclib_headers
  "${TARNWICK_DEPS_DIR}/geographiclib-*/include/GeographicLib/Geodesic.hpp")
if(NOT geographiclib_headers)
  message(FATAL_ERROR "No GeographicLib source in ${TARNWICK_DEPS_DIR}: run scripts/test-windows, "
    "or `apt-get source geographiclib` there (needs a deb-src entry)")
endif()
list(GET geographiclib_headers -1 geographiclib_header)
get_filename_component(geographiclib_root "${geographiclib_header}/../../.." ABSOLUTE)
# Config.h as the library's own build writes it, with the values of Debian's: double precision,
# a static library, no data folder (the solver reads none). In a function, so the version
# variables stay the library's.
function(tarnwick_geographiclib_config root out)
  file(STRINGS "${root}/VERSION" PROJECT_VERSION LIMIT_COUNT 1)
  if(NOT PROJECT_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)")
    message(FATAL_ERROR "${root}/VERSION holds no version")
  endif()
  set(PROJECT_VERSION_MAJOR "${CMAKE_MATCH_1}")
  set(PROJECT_VERSION_MINOR "${CMAKE_MATCH_2}")
  set(PROJECT_VERSION_PATCH "${CMAKE_MATCH_3}")
  set(GEOGRAPHICLIB_DATA "")
  set(GEOGRAPHICLIB_HAVE_LONG_DOUBLE 1)
  set(GEOGRAPHICLIB_WORDS_BIGENDIAN 0)
  set(GEOGRAPHICLIB_PRECISION 2)
  set(GEOGRAPHICLIB_LIB_TYPE_VAL 0)
  configure_file("${root}/include/GeographicLib/Config.h.in" "${out}" @ONLY)
endfunction()
tarnwick_geographiclib_config("${geographiclib_root}"
  "${TARNWICK_DEPS_DIR}/geographiclib-config/GeographicLib/Config.h")
add_library(tarnwick_geographiclib STATIC
  "${geographiclib_root}/src/Geocentric.cpp"
  "${geographiclib_root}/src/Geodesic.cpp"
  "${geographiclib_root}/src/GeodesicLine.cpp"
  "${geographiclib_root}/src/Math.cpp")
target_include_directories(tarnwick_geographiclib SYSTEM PUBLIC
  "${TARNWICK_DEPS_DIR}/geographiclib-config" "${geographiclib_root}/include")
target_compile_definitions(tarnwick_geographiclib PUBLIC GEOGRAPHICLIB_SHARED_LIB=0)
# The standard the library is written for: C++20 deprecates some of its enum and volatile uses.
set_target_properties(tarnwick_geographiclib PROPERTIES CXX_STANDARD 17)
add_library(PkgConfig::GEOGRAPHICLIB ALIAS tarnwick_geographiclib)

include("${CMAKE_CURRENT_LIST_DIR}/windows-exiv2.cmake")

# The zone database of the Windows programs, staged in the build tree and reached from each
# program's folder through a link named tzdata (tarnwick_program), as in the ZIP:
# - the rules and links of tzdata's source package (`apt-get source tzdata`), in the files
#   date/tz reads, without the comment lines: date/tz prints an indented comment that stands
#   outside a zone to standard error as a line it does not know;
# - CLDR's table from Windows zone names to database names (windowsZones.xml, from Debian's
#   unicode-cldr-core), which the computer's zone is looked up in;
# - the licences of both.
set(TARNWICK_TZDATA_DIR "${PROJECT_BINARY_DIR}/tzdata")
file(GLOB tzdata_versions "${TARNWICK_DEPS_DIR}/tzdata-*/version")
set(cldr_dir "${TARNWICK_DEPS_DIR}/unicode-cldr-core")
if(NOT tzdata_versions OR NOT EXISTS "${cldr_dir}/windowsZones.xml")
  message(FATAL_ERROR "No zone data in ${TARNWICK_DEPS_DIR}: run scripts/test-windows, which "
    "fetches tzdata's source and windowsZones.xml from unicode-cldr-core")
endif()
list(GET tzdata_versions -1 tzdata_version)
get_filename_component(tzdata_src "${tzdata_version}" DIRECTORY)
file(MAKE_DIRECTORY "${TARNWICK_TZDATA_DIR}")
set(tzdata_tmp "${TARNWICK_DEPS_DIR}/tzdata.tmp")
foreach(name africa antarctica asia australasia backward etcetera europe northamerica
    southamerica leapseconds)
  file(READ "${tzdata_src}/${name}" text)
  # A newline before the first line, as CMake's "^" does not mean the start of a line.
  string(REGEX REPLACE "\n[ \t]*#[^\n]*" "" text "\n${text}")
  string(REGEX REPLACE "\n\n+" "\n" text "${text}")
  file(WRITE "${tzdata_tmp}" "${text}")
  # Written only when the text changes, so a new configure rebuilds nothing.
  file(COPY_FILE "${tzdata_tmp}" "${TARNWICK_TZDATA_DIR}/${name}" ONLY_IF_DIFFERENT)
endforeach()
file(REMOVE "${tzdata_tmp}")
file(COPY_FILE "${tzdata_version}" "${TARNWICK_TZDATA_DIR}/version" ONLY_IF_DIFFERENT)
file(COPY_FILE "${tzdata_src}/LICENSE" "${TARNWICK_TZDATA_DIR}/LICENSE" ONLY_IF_DIFFERENT)
file(COPY_FILE "${cldr_dir}/windowsZones.xml" "${TARNWICK_TZDATA_DIR}/windowsZones.xml"
  ONLY_IF_DIFFERENT)
file(COPY_FILE "${cldr_dir}/copyright" "${TARNWICK_TZDATA_DIR}/windowsZones-copyright"
  ONLY_IF_DIFFERENT)

if(TARNWICK_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # GoogleTest's own warnings are not ours to fix.
  add_subdirectory(/usr/src/googletest "${TARNWICK_DEPS_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
