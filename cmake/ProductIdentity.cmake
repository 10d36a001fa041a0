# The product's names as src/foundation/ProductIdentity.h defines them, read
# from its `#define NAME "text"` lines into variables of the same names: the
# programs' file names, and the version resources and manifests the build
# configures. Configured again whenever the header changes.
set(product_identity_header ${CMAKE_CURRENT_LIST_DIR}/../src/foundation/ProductIdentity.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${product_identity_header})
file(STRINGS ${product_identity_header} product_identity_lines REGEX "^#define TONVANE_")
foreach(name TONVANE_PUBLISHER TONVANE_PRODUCT_NAME TONVANE_APPLICATION_NAME TONVANE_SETUP_NAME
             TONVANE_UNINSTALLER_NAME TONVANE_SETUP_CAPTION)
  set(found FALSE)
  foreach(line IN LISTS product_identity_lines)
    if(line MATCHES "^#define ${name} \"([^\"\\\\]+)\"$")
      set(${name} "${CMAKE_MATCH_1}")
      set(found TRUE)
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "src/foundation/ProductIdentity.h defines no ${name} as a plain \"text\"")
  endif()
endforeach()

# What the build says beside them: the uninstaller's description, and the
# manifests' name for the product, "<publisher>.<product>" without blanks as
# the package manager's identifier is made (tools/make-winget-manifest).
set(TONVANE_UNINSTALLER_DESCRIPTION "${TONVANE_PRODUCT_NAME} Uninstaller")
string(REPLACE " " "" TONVANE_PACKAGE_IDENTIFIER "${TONVANE_PUBLISHER}.${TONVANE_PRODUCT_NAME}")
