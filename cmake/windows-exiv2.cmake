# exiv2 for the MinGW-w64 cross build (included by windows-deps.cmake): the photo metadata
# library, compiled here from Debian's source package (`apt-get source exiv2`, 0.27.6) with its
# XMP toolkit and the XML parser that toolkit needs, expat (`apt-get source expat`), under the
# target name pkg-config gives the Linux build (PkgConfig::EXIV2).
#
# Compiled directly from lists of their sources rather than through exiv2's own CMake project:
# that one runs a hundred configure checks (each a compile, some run under Wine) and builds the
# exiv2 program and its samples. What Debian's package has and the geotagging does not need is
# left out: video, BMFF (HEIF, AVIF, CR3), the remote files (webready, curl, ssh) and the
# translations. JPEG, TIFF and the TIFF-based raw formats, their maker notes, PNG (on the zlib
# the project links anyway) and XMP (sidecars) are in, so a folder of photos is sorted as on
# Linux. Third-party code: no warnings of ours, no debug information (half the compile time).

file(GLOB exiv2_images "${TARNWICK_DEPS_DIR}/exiv2-*/src/image.cpp")
file(GLOB expat_parsers "${TARNWICK_DEPS_DIR}/expat-*/expat/lib/xmlparse.c")
if(NOT exiv2_images OR NOT expat_parsers)
  message(FATAL_ERROR "No exiv2 or expat source in ${TARNWICK_DEPS_DIR}: run scripts/test-windows, "
    "or `apt-get source exiv2 expat` there (needs a deb-src entry)")
endif()
list(GET exiv2_images -1 exiv2_image)
get_filename_component(exiv2_root "${exiv2_image}/../.." ABSOLUTE)
list(GET expat_parsers -1 expat_parser)
get_filename_component(expat_lib "${expat_parser}" DIRECTORY)
set(third_party_options -w -g0)

# ---- expat -------------------------------------------------------------------------------
enable_language(C)
# expat_config.h as expat's CMake build writes it for MinGW, with the features of Debian's
# (namespaces and DTDs, whose entity limits stop "billion laughs"); the hash salt comes from
# rand_s on Windows.
set(expat_config "${TARNWICK_DEPS_DIR}/expat-config")
file(CONFIGURE OUTPUT "${expat_config}/expat_config.h" CONTENT [[
#ifndef EXPAT_CONFIG_H
#define EXPAT_CONFIG_H 1
#define BYTEORDER 1234
#define HAVE_FCNTL_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_MEMORY_H 1
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_STRINGS_H 1
#define HAVE_SYS_STAT_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_UNISTD_H 1
#define STDC_HEADERS 1
#define PACKAGE "expat"
#define XML_CONTEXT_BYTES 1024
#define XML_DTD 1
#define XML_NS 1
#endif
]])
add_library(tarnwick_expat STATIC
  "${expat_lib}/xmlparse.c" "${expat_lib}/xmlrole.c" "${expat_lib}/xmltok.c")
target_include_directories(tarnwick_expat PRIVATE "${expat_config}")
target_include_directories(tarnwick_expat SYSTEM PUBLIC "${expat_lib}")
target_compile_definitions(tarnwick_expat PUBLIC XML_STATIC)
target_compile_options(tarnwick_expat PRIVATE ${third_party_options})

# ---- exiv2's XMP toolkit -----------------------------------------------------------------
set(xmpsdk "${exiv2_root}/xmpsdk")
add_library(tarnwick_exiv2_xmp STATIC
  "${xmpsdk}/src/ExpatAdapter.cpp" "${xmpsdk}/src/MD5.cpp" "${xmpsdk}/src/ParseRDF.cpp"
  "${xmpsdk}/src/UnicodeConversions.cpp" "${xmpsdk}/src/WXMPIterator.cpp"
  "${xmpsdk}/src/WXMPMeta.cpp" "${xmpsdk}/src/WXMPUtils.cpp" "${xmpsdk}/src/XML_Node.cpp"
  "${xmpsdk}/src/XMPCore_Impl.cpp" "${xmpsdk}/src/XMPIterator.cpp"
  "${xmpsdk}/src/XMPMeta-GetSet.cpp" "${xmpsdk}/src/XMPMeta-Parse.cpp"
  "${xmpsdk}/src/XMPMeta-Serialize.cpp" "${xmpsdk}/src/XMPMeta.cpp"
  "${xmpsdk}/src/XMPUtils-FileInfo.cpp" "${xmpsdk}/src/XMPUtils.cpp")
target_include_directories(tarnwick_exiv2_xmp PRIVATE "${xmpsdk}/include")
# As exiv2's build: no XML entities at all in XMP packets.
target_compile_definitions(tarnwick_exiv2_xmp PRIVATE BanAllEntityUsage=1)
# The toolkit takes MinGW for a UNIX and calls gmtime_r and localtime_r, which MinGW-w64 declares
# (over gmtime_s and localtime_s) only when asked for them.
target_compile_definitions(tarnwick_exiv2_xmp PRIVATE _POSIX_THREAD_SAFE_FUNCTIONS=200112L)
target_link_libraries(tarnwick_exiv2_xmp PRIVATE tarnwick_expat)
target_compile_options(tarnwick_exiv2_xmp PRIVATE ${third_party_options})

# ---- exiv2 -------------------------------------------------------------------------------
# exv_conf.h from the library's template with what its configure checks find for MinGW-w64:
# Windows' own character set conversion instead of iconv, narrow (UTF-8, see the manifest) paths.
function(tarnwick_exiv2_config root out)
  file(STRINGS "${root}/CMakeLists.txt" project_version REGEX "^[ \t]*VERSION[ \t]+[0-9.]+")
  if(NOT project_version MATCHES "([0-9]+)\\.([0-9]+)\\.([0-9]+)")
    message(FATAL_ERROR "${root}/CMakeLists.txt names no version")
  endif()
  set(PROJECT_VERSION "${CMAKE_MATCH_0}")
  set(PROJECT_VERSION_MAJOR "${CMAKE_MATCH_1}")
  set(PROJECT_VERSION_MINOR "${CMAKE_MATCH_2}")
  set(PROJECT_VERSION_PATCH "${CMAKE_MATCH_3}")
  set(PROJECT_VERSION_TWEAK "")
  set(EXV_PACKAGE_NAME exiv2)
  set(EXV_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(EXV_PACKAGE_STRING "exiv2 ${PROJECT_VERSION}")
  set(EXV_HAVE_XMP_TOOLKIT ON)
  set(EXV_HAVE_LENSDATA ON)
  set(EXV_HAVE_PRINTUCS2 ON)
  set(EXV_HAVE_LIBZ ON)
  foreach(header MEMORY_H PROCESS_H STDBOOL_H STRINGS_H SYS_STAT_H SYS_TYPES_H UNISTD_H)
    set(EXV_HAVE_${header} ON)
  endforeach()
  configure_file("${root}/cmake/config.h.cmake" "${out}/exv_conf.h" @ONLY)
endfunction()
set(exiv2_config "${TARNWICK_DEPS_DIR}/exiv2-config")
tarnwick_exiv2_config("${exiv2_root}" "${exiv2_config}")

set(exiv2_src "${exiv2_root}/src")
add_library(tarnwick_exiv2 STATIC)
foreach(name
    # the library
    basicio bmffimage bmpimage convert cr2image crwimage datasets easyaccess epsimage error
    exif futils gifimage http image ini iptc jp2image jpgimage metadatum mrwimage orfimage
    pgfimage pngimage preview properties psdimage rafimage rw2image tags tgaimage tiffimage
    types value version webpimage xmp xmpsidecar
    # its internals
    canonmn_int casiomn_int cr2header_int crwimage_int fujimn_int helper_functions image_int
    jp2image_int makernote_int minoltamn_int nikonmn_int olympusmn_int orfimage_int
    panasonicmn_int pentaxmn_int pngchunk_int rw2image_int samsungmn_int sigmamn_int
    sonymn_int tags_int tiffcomposite_int tiffimage_int tiffvisitor_int)
  target_sources(tarnwick_exiv2 PRIVATE "${exiv2_src}/${name}.cpp")
endforeach()
# The export macros of a static library: empty.
include(GenerateExportHeader)
generate_export_header(tarnwick_exiv2 BASE_NAME exiv2lib EXPORT_MACRO_NAME EXIV2API
  EXPORT_FILE_NAME "${exiv2_config}/exiv2lib_export.h" STATIC_DEFINE exiv2lib_STATIC)
target_compile_definitions(tarnwick_exiv2 PUBLIC exiv2lib_STATIC WIN32_LEAN_AND_MEAN)
target_include_directories(tarnwick_exiv2 PRIVATE "${exiv2_root}/include/exiv2" "${xmpsdk}/include")
# What pkg-config gives the Linux build: <exiv2/exiv2.hpp>; exv_conf.h and exiv2lib_export.h
# are found through the folder of generated headers.
target_include_directories(tarnwick_exiv2 SYSTEM PUBLIC "${exiv2_root}/include" "${exiv2_config}")
target_link_libraries(tarnwick_exiv2 PRIVATE tarnwick_exiv2_xmp tarnwick_expat ZLIB::ZLIB ws2_32)
target_compile_options(tarnwick_exiv2 PRIVATE ${third_party_options})
# The standard exiv2 0.27 is written in and Debian builds it with (std::auto_ptr throughout).
set_target_properties(tarnwick_exiv2 tarnwick_exiv2_xmp PROPERTIES CXX_STANDARD 98)
add_library(PkgConfig::EXIV2 ALIAS tarnwick_exiv2)
