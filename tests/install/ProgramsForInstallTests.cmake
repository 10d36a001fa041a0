# Programs the install tests start.

# A stand-in for another program: records its command line and exits with 42.
add_executable(command_line_probe CommandLineProbe.cpp)
tonvane_program(command_line_probe)
add_dependencies(install_tests command_line_probe)

# Two older releases of Tonvane Free as Windows Installer packages, built by
# Debian's wixl for this build's architecture: a 64-bit test program sees
# the 64-bit registry view, where only a 64-bit package registers.
find_program(TONVANE_WIXL wixl REQUIRED)
if(TONVANE_ARCH STREQUAL "x86_64")
  set(older_release_arch x64)
  set(older_release_win64 yes)
else()
  set(older_release_arch x86)
  set(older_release_win64 no)
endif()
set(older_release_source ${PROJECT_SOURCE_DIR}/tests/data/OlderRelease.wxs)
file(WRITE ${TONVANE_OLDER_RELEASES_DIR}/readme.txt "Tonvane Free, an older release\n")
set(older_release_packages)
foreach(release 1 2)
  set(package ${TONVANE_OLDER_RELEASES_DIR}/release${release}.msi)
  add_custom_command(
    OUTPUT ${package}
    COMMAND ${TONVANE_WIXL} -a ${older_release_arch} -D Win64=${older_release_win64}
            -D Release=${release} -D Payload=readme.txt
            -o ${package} ${older_release_source}
    # wixl takes only relative source paths, from its working folder.
    WORKING_DIRECTORY ${TONVANE_OLDER_RELEASES_DIR}
    DEPENDS ${older_release_source}
    COMMENT "Packing older release ${release} with wixl")
  list(APPEND older_release_packages ${package})
endforeach()
add_custom_target(older_releases DEPENDS ${older_release_packages})
add_dependencies(install_tests older_releases)
