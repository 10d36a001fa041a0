# What a product team points the build at: the application's folder, the
# partner installers with their terms, and the application's version. Left
# at their defaults, the setup carries the samples and stand-ins built from
# this repository. Every setting is checked here, so that a wrong one stops
# the configuration with a message rather than the build halfway through.

set(TONVANE_APPLICATION_VERSION "5.2.1.1" CACHE STRING
    "Version of the application, four dotted numbers (0 to 65535): the setup's version resource and uninstall entry, and the sample application's title and version resource")
set(TONVANE_APPLICATION_FOLDER "" CACHE PATH
    "Folder packed as the application archive (ZIP 209), Tonvane.exe at its top; empty for the sample application built from payloads/sample-app")
set(TONVANE_APPLICATION_COMPRESSION "zip" CACHE STRING
    "How the application archive travels: zip (each entry deflated on its own) or solid (every entry stored, the archive compressed as one stream; smaller, decoded in one pass at install time)")
set_property(CACHE TONVANE_APPLICATION_COMPRESSION PROPERTY STRINGS zip solid)
set(TONVANE_TOOLBAR_INSTALLER "" CACHE FILEPATH
    "The toolbar partner's installer program, carried in ZIP 213 as brask7_tolv.exe; empty for the stand-in from payloads/partner-standin")
set(TONVANE_TOOLBAR_TERMS_TEXT "${CMAKE_SOURCE_DIR}/resources/offers/toolbar-terms.txt" CACHE FILEPATH
    "The toolbar partner's terms of use, UTF-8 text (shipped as Shift-JIS, TEXT 203)")
set(TONVANE_PLUGIN_INSTALLER "" CACHE FILEPATH
    "The plug-in partner's installer program, carried in ZIP 212 as jword2setup_common.exe; empty for the stand-in from payloads/partner-standin")
set(TONVANE_PLUGIN_TERMS_TEXT "${CMAKE_SOURCE_DIR}/resources/offers/plugin-terms.txt" CACHE FILEPATH
    "The plug-in partner's terms of use, UTF-8 text (shipped as Shift-JIS, TEXT 204)")

# Where users download the setup: the installer address of the package
# manager's manifest (tools/make-winget-manifest). Empty stands for the
# vendor site's download folder, worked out below, so that a vendor site
# changed later does not leave an old address behind in the cache.
set(TONVANE_DOWNLOAD_URL "" CACHE STRING
    "Address users download TonvaneSetup.exe from (http:// or https://), the package manager manifest's InstallerUrl; empty for TONVANE_VENDOR_SITE followed by download/TonvaneSetup.exe")

# Signing (README.md, "Signing the setup"): with a certificate named, the
# uninstaller is signed before the setup embeds it, and the setup after it
# is linked, both with Authenticode SHA-256.
set(TONVANE_SIGNING_CERTIFICATE "" CACHE FILEPATH
    "Code-signing certificate: a PKCS#12 file (.p12, .pfx) with its key, or a PEM certificate with TONVANE_SIGNING_KEY; empty for an unsigned setup")
set(TONVANE_SIGNING_KEY "" CACHE FILEPATH
    "PEM private key of a PEM TONVANE_SIGNING_CERTIFICATE; empty when the certificate is a PKCS#12 file")
set(TONVANE_SIGNING_PASSWORD_FILE "" CACHE FILEPATH
    "File whose first line is the password of the key or PKCS#12 file; empty when it has none")
set(TONVANE_SIGNING_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamp server (http:// or https://); empty for signatures without a time stamp")

# Four numbers without leading zeros: the version resource holds each in 16
# bits, and the text form must read as the numbers do.
set(number "(0|[1-9][0-9]?[0-9]?[0-9]?[0-9]?)")
if(NOT TONVANE_APPLICATION_VERSION MATCHES "^${number}\\.${number}\\.${number}\\.${number}$")
  message(FATAL_ERROR "TONVANE_APPLICATION_VERSION is \"${TONVANE_APPLICATION_VERSION}\": "
                      "it must be four dotted numbers without leading zeros, such as 5.2.1.1")
endif()
foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  if(part GREATER 65535)
    message(FATAL_ERROR "TONVANE_APPLICATION_VERSION is \"${TONVANE_APPLICATION_VERSION}\": "
                        "each number must be at most 65535")
  endif()
endforeach()
# The form resource scripts take: 5,2,1,1.
string(REPLACE "." "," TONVANE_VERSION_NUMBERS "${TONVANE_APPLICATION_VERSION}")

# The manifest's schema takes an http or https address of up to 2048
# characters; blanks and quotes would not survive the YAML and the shell.
if(TONVANE_DOWNLOAD_URL STREQUAL "")
  set(TONVANE_INSTALLER_URL "${TONVANE_VENDOR_SITE}download/${TONVANE_SETUP_NAME}.exe")
else()
  set(TONVANE_INSTALLER_URL "${TONVANE_DOWNLOAD_URL}")
endif()
string(LENGTH "${TONVANE_INSTALLER_URL}" url_length)
if(NOT TONVANE_INSTALLER_URL MATCHES "^https?://[^\"<> \t]+$" OR url_length GREATER 2048)
  message(FATAL_ERROR "TONVANE_DOWNLOAD_URL is \"${TONVANE_DOWNLOAD_URL}\": "
                      "it must be an http:// or https:// address without blanks or quotes, at most 2048 characters")
endif()
unset(url_length)

if(NOT TONVANE_APPLICATION_COMPRESSION MATCHES "^(zip|solid)$")
  message(FATAL_ERROR "TONVANE_APPLICATION_COMPRESSION is \"${TONVANE_APPLICATION_COMPRESSION}\": "
                      "it must be zip or solid")
endif()

if(NOT TONVANE_APPLICATION_FOLDER STREQUAL "")
  if(NOT IS_ABSOLUTE "${TONVANE_APPLICATION_FOLDER}" OR NOT IS_DIRECTORY "${TONVANE_APPLICATION_FOLDER}")
    message(FATAL_ERROR "TONVANE_APPLICATION_FOLDER is \"${TONVANE_APPLICATION_FOLDER}\": "
                        "it must name an existing folder by its full path")
  endif()
  # The shortcuts and the uninstall entry's icon point at Tonvane.exe.
  set(program "${TONVANE_APPLICATION_NAME}.exe")
  if(NOT EXISTS "${TONVANE_APPLICATION_FOLDER}/${program}" OR IS_DIRECTORY "${TONVANE_APPLICATION_FOLDER}/${program}")
    message(FATAL_ERROR "TONVANE_APPLICATION_FOLDER \"${TONVANE_APPLICATION_FOLDER}\" "
                        "holds no ${program} at its top")
  endif()
endif()

# Each setting named must hold the full path of an existing file; those
# after OPTIONAL may also be empty.
function(tonvane_require_files)
  cmake_parse_arguments(ARG "" "" "REQUIRED;OPTIONAL" ${ARGN})
  set(files ${ARG_REQUIRED})
  foreach(setting ${ARG_OPTIONAL})
    if(NOT "${${setting}}" STREQUAL "")
      list(APPEND files ${setting})
    endif()
  endforeach()
  foreach(setting ${files})
    if(NOT IS_ABSOLUTE "${${setting}}" OR NOT EXISTS "${${setting}}" OR IS_DIRECTORY "${${setting}}")
      message(FATAL_ERROR "${setting} is \"${${setting}}\": it must name an existing file by its full path")
    endif()
  endforeach()
endfunction()

# An empty installer setting stands for the stand-in; the terms always name
# a text.
tonvane_require_files(REQUIRED TONVANE_TOOLBAR_TERMS_TEXT TONVANE_PLUGIN_TERMS_TEXT
                      OPTIONAL TONVANE_TOOLBAR_INSTALLER TONVANE_PLUGIN_INSTALLER)

# The signing settings, all checked before anything is built: a signing
# that fails at the end of a long build for a mistyped path helps nobody.
set(TONVANE_SIGN_PROGRAM "")
if(NOT TONVANE_SIGNING_CERTIFICATE STREQUAL "")
  tonvane_require_files(REQUIRED TONVANE_SIGNING_CERTIFICATE
                        OPTIONAL TONVANE_SIGNING_KEY TONVANE_SIGNING_PASSWORD_FILE)
  # osslsigncode takes a PEM certificate only with its key beside it, and a
  # PKCS#12 file only without one; told apart by the PEM armour.
  file(STRINGS "${TONVANE_SIGNING_CERTIFICATE}" pem_armour LIMIT_COUNT 1 REGEX "^-----BEGIN ")
  if(pem_armour AND TONVANE_SIGNING_KEY STREQUAL "")
    message(FATAL_ERROR "TONVANE_SIGNING_CERTIFICATE \"${TONVANE_SIGNING_CERTIFICATE}\" is a PEM "
                        "certificate: TONVANE_SIGNING_KEY must name its PEM private key")
  elseif(NOT pem_armour AND NOT TONVANE_SIGNING_KEY STREQUAL "")
    message(FATAL_ERROR "TONVANE_SIGNING_CERTIFICATE \"${TONVANE_SIGNING_CERTIFICATE}\" is not a PEM "
                        "certificate; a PKCS#12 file holds its own key: leave TONVANE_SIGNING_KEY empty")
  endif()
  if(NOT TONVANE_SIGNING_TIMESTAMP_URL STREQUAL "" AND
     NOT TONVANE_SIGNING_TIMESTAMP_URL MATCHES "^https?://[^\" ]+$")
    message(FATAL_ERROR "TONVANE_SIGNING_TIMESTAMP_URL is \"${TONVANE_SIGNING_TIMESTAMP_URL}\": "
                        "it must be an http:// or https:// address")
  endif()
  find_program(TONVANE_OSSLSIGNCODE NAMES osslsigncode
               DOC "osslsigncode, which signs the setup and the uninstaller")
  if(NOT TONVANE_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode: run scripts/bootstrap")
  endif()
  # The command, up to the input and output files' names and the
  # description, that signs a program; tools/sign-program.
  set(TONVANE_SIGN_PROGRAM ${CMAKE_COMMAND} -E env OSSLSIGNCODE=${TONVANE_OSSLSIGNCODE}
      ${CMAKE_SOURCE_DIR}/tools/sign-program)
  set(TONVANE_SIGN_OPTIONS --certificate ${TONVANE_SIGNING_CERTIFICATE} --url ${TONVANE_VENDOR_SITE})
  if(NOT TONVANE_SIGNING_KEY STREQUAL "")
    list(APPEND TONVANE_SIGN_OPTIONS --key ${TONVANE_SIGNING_KEY})
  endif()
  if(NOT TONVANE_SIGNING_PASSWORD_FILE STREQUAL "")
    list(APPEND TONVANE_SIGN_OPTIONS --password-file ${TONVANE_SIGNING_PASSWORD_FILE})
  endif()
  if(NOT TONVANE_SIGNING_TIMESTAMP_URL STREQUAL "")
    list(APPEND TONVANE_SIGN_OPTIONS --timestamp ${TONVANE_SIGNING_TIMESTAMP_URL})
  endif()
  # What the signing reads, so that a new certificate signs again.
  set(TONVANE_SIGN_DEPENDS ${CMAKE_SOURCE_DIR}/tools/sign-program)
  foreach(setting ${files})
    list(APPEND TONVANE_SIGN_DEPENDS ${${setting}})
  endforeach()
  unset(pem_armour)
elseif(NOT TONVANE_SIGNING_KEY STREQUAL "" OR NOT TONVANE_SIGNING_PASSWORD_FILE STREQUAL "" OR
       NOT TONVANE_SIGNING_TIMESTAMP_URL STREQUAL "")
  message(FATAL_ERROR "TONVANE_SIGNING_KEY, TONVANE_SIGNING_PASSWORD_FILE and TONVANE_SIGNING_TIMESTAMP_URL "
                      "are used only with TONVANE_SIGNING_CERTIFICATE, which is empty")
endif()

# The build's own tools (tools/pack-archive, the sample tree) are Python 3
# scripts; Debian's python3 comes first when the path offers another one.
find_program(TONVANE_PYTHON NAMES python3 HINTS /usr/bin REQUIRED
             DOC "Python 3 for the build's tools")
unset(number)
unset(files)
