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
