# zlib from Debian's libz-mingw-w64-dev, minizip compiled from Debian's
# source package (unpacked by scripts/bootstrap), GoogleTest from Debian's
# googletest sources. None of them is kept in this repository.

set(TONVANE_SYSROOT /usr/${TONVANE_ARCH}-w64-mingw32)
add_library(zlib STATIC IMPORTED GLOBAL)
set_target_properties(zlib PROPERTIES
  IMPORTED_LOCATION ${TONVANE_SYSROOT}/lib/libz.a
  INTERFACE_INCLUDE_DIRECTORIES ${TONVANE_SYSROOT}/include)

set(MINIZIP_DIR ${TONVANE_CACHE_DIR}/minizip/src)
if(NOT EXISTS ${MINIZIP_DIR}/unzip.c)
  message(FATAL_ERROR "minizip sources missing in ${MINIZIP_DIR}: run scripts/bootstrap")
endif()

# The unzip half only: the setup reads archives, it never writes them. The
# Win32 file functions open archives by wide-character path.
if(NOT EXISTS ${MINIZIP_DIR}/iowin32.c)
  message(FATAL_ERROR "minizip's iowin32.c missing in ${MINIZIP_DIR}: run scripts/bootstrap")
endif()
add_library(minizip STATIC ${MINIZIP_DIR}/ioapi.c ${MINIZIP_DIR}/unzip.c ${MINIZIP_DIR}/iowin32.c)
target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_DIR})
target_compile_definitions(minizip PRIVATE NOCRYPT NOUNCRYPT)
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC zlib)

# The zip half, for tests that build their archives at run time.
add_library(minizip_writer STATIC ${MINIZIP_DIR}/zip.c)
target_include_directories(minizip_writer SYSTEM PUBLIC ${MINIZIP_DIR})
target_compile_definitions(minizip_writer PRIVATE NOCRYPT)
target_compile_options(minizip_writer PRIVATE -w)
target_link_libraries(minizip_writer PUBLIC minizip)

if(TONVANE_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# liblzma from Debian's xz-utils source package (unpacked by
# scripts/bootstrap): the .xz decoder with LZMA2 only, the one filter the
# packer writes, for a setup that carries its application archive in the
# solid form (TONVANE_APPLICATION_COMPRESSION, src/install/SolidArchive.h).
# The configuration the sources expect from their configure script is
# written here: no threads, no other filters or checks, CRC-32 tables made
# at start-up rather than carried (1 KB of zeros instead of 8 KB of tables).
set(XZ_DIR ${TONVANE_CACHE_DIR}/xz-utils/src)
if(NOT EXISTS ${XZ_DIR}/liblzma/api/lzma.h)
  message(FATAL_ERROR "liblzma sources missing in ${XZ_DIR}: run scripts/bootstrap")
endif()
if(TONVANE_ARCH STREQUAL "i686")
  set(xz_size_t 4)
else()
  set(xz_size_t 8)
endif()
set(xz_config_dir ${CMAKE_BINARY_DIR}/xz-config)
file(CONFIGURE OUTPUT ${xz_config_dir}/config.h CONTENT [[
#define HAVE_DECODER_LZMA1 1
#define HAVE_DECODER_LZMA2 1
#define HAVE_ENCODER_LZMA1 1
#define HAVE_ENCODER_LZMA2 1
#define HAVE_MF_BT4 1
#define HAVE_MF_HC4 1
#define HAVE_CHECK_CRC32 1
#define HAVE_STDBOOL_H 1
#define HAVE__BOOL 1
#define HAVE_STDINT_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_LIMITS_H 1
#define HAVE_STRING_H 1
#define HAVE_FUNC_ATTRIBUTE_CONSTRUCTOR 1
#define HAVE_SMALL 1
#define SIZEOF_SIZE_T @xz_size_t@
#define TUKLIB_SYMBOL_PREFIX lzma_
]] @ONLY)
set(xz_includes ${xz_config_dir} ${XZ_DIR}/liblzma/api ${XZ_DIR}/liblzma/common ${XZ_DIR}/liblzma/check
    ${XZ_DIR}/liblzma/lz ${XZ_DIR}/liblzma/lzma ${XZ_DIR}/liblzma/rangecoder ${XZ_DIR}/liblzma/simple
    ${XZ_DIR}/liblzma/delta ${XZ_DIR}/common)
set(xz ${XZ_DIR}/liblzma)
add_library(lzma_decoder STATIC
  ${xz}/common/common.c ${xz}/common/block_decoder.c ${xz}/common/block_header_decoder.c
  ${xz}/common/block_util.c ${xz}/common/filter_common.c ${xz}/common/filter_decoder.c
  ${xz}/common/filter_flags_decoder.c ${xz}/common/index_hash.c ${xz}/common/stream_decoder.c
  ${xz}/common/stream_flags_common.c ${xz}/common/stream_flags_decoder.c ${xz}/common/vli_decoder.c
  ${xz}/common/vli_size.c ${xz}/check/check.c ${xz}/check/crc32_small.c ${xz}/lz/lz_decoder.c
  ${xz}/lzma/lzma_decoder.c ${xz}/lzma/lzma2_decoder.c)
target_include_directories(lzma_decoder SYSTEM PRIVATE ${xz_includes})
target_include_directories(lzma_decoder SYSTEM INTERFACE ${XZ_DIR}/liblzma/api)
target_compile_definitions(lzma_decoder PUBLIC LZMA_API_STATIC PRIVATE HAVE_CONFIG_H)
target_compile_options(lzma_decoder PRIVATE -w -std=gnu99)

# The encoder's half, for tests that make archives of the solid form at run
# time; never linked into a program that ships.
if(TONVANE_BUILD_TESTS)
  add_library(lzma_encoder STATIC
    ${xz}/common/block_buffer_encoder.c ${xz}/common/block_encoder.c ${xz}/common/block_header_encoder.c
    ${xz}/common/easy_preset.c ${xz}/common/filter_encoder.c ${xz}/common/filter_flags_encoder.c
    ${xz}/common/index.c ${xz}/common/index_encoder.c ${xz}/common/stream_buffer_encoder.c
    ${xz}/common/stream_flags_encoder.c ${xz}/common/vli_encoder.c ${xz}/lz/lz_encoder.c
    ${xz}/lz/lz_encoder_mf.c ${xz}/lzma/lzma2_encoder.c ${xz}/lzma/lzma_encoder.c
    ${xz}/lzma/lzma_encoder_optimum_fast.c ${xz}/lzma/lzma_encoder_optimum_normal.c
    ${xz}/lzma/lzma_encoder_presets.c ${xz}/rangecoder/price_table.c)
  target_include_directories(lzma_encoder SYSTEM PRIVATE ${xz_includes})
  target_compile_definitions(lzma_encoder PRIVATE HAVE_CONFIG_H)
  target_compile_options(lzma_encoder PRIVATE -w -std=gnu99)
  target_link_libraries(lzma_encoder PUBLIC lzma_decoder)
endif()
