# What a product team points the build at: the application's folder, the
# partner installers with their terms, and the application's version. Left
# at their defaults, the setup carries the samples and stand-ins built from
# this repository. Every setting is checked here, so that a wrong one stops
# the configuration with a message rather than the build halfway through.

set(TONVANE_APPLICATION_VERSION "5.2.1.1" CACHE STRING
    "Version of the application, four dotted numbers (0 to 65535): the setup's version resource and uninstall entry, and the sample application's title and version resource")
set(TONVANE_APPLICATION_FOLDER "" CACHE PATH
    "Folder packed as the application archive (ZIP 209), Tonvane.exe at its top; empty for the sample application built from payloads/sample-app")
set(TONVANE_TOOLBAR_INSTALLER "" CACHE FILEPATH
    "The toolbar partner's installer program, carried in ZIP 213 as brask7_tolv.exe; empty for the stand-in from payloads/partner-standin")
set(TONVANE_TOOLBAR_TERMS_TEXT "${CMAKE_SOURCE_DIR}/resources/offers/toolbar-terms.txt" CACHE FILEPATH
    "The toolbar partner's terms of use, UTF-8 text (shipped as Shift-JIS, TEXT 203)")
set(TONVANE_PLUGIN_INSTALLER "" CACHE FILEPATH
    "The plug-in partner's installer program, carried in ZIP 212 as jword2setup_common.exe; empty for the stand-in from payloads/partner-standin")
set(TONVANE_PLUGIN_TERMS_TEXT "${CMAKE_SOURCE_DIR}/resources/offers/plugin-terms.txt" CACHE FILEPATH
    "The plug-in partner's terms of use, UTF-8 text (shipped as Shift-JIS, TEXT 204)")

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

if(NOT TONVANE_APPLICATION_FOLDER STREQUAL "")
  if(NOT IS_ABSOLUTE "${TONVANE_APPLICATION_FOLDER}" OR NOT IS_DIRECTORY "${TONVANE_APPLICATION_FOLDER}")
    message(FATAL_ERROR "TONVANE_APPLICATION_FOLDER is \"${TONVANE_APPLICATION_FOLDER}\": "
                        "it must name an existing folder by its full path")
  endif()
  # The shortcuts and the uninstall entry's icon point at Tonvane.exe.
  if(NOT EXISTS "${TONVANE_APPLICATION_FOLDER}/Tonvane.exe" OR IS_DIRECTORY "${TONVANE_APPLICATION_FOLDER}/Tonvane.exe")
    message(FATAL_ERROR "TONVANE_APPLICATION_FOLDER \"${TONVANE_APPLICATION_FOLDER}\" "
                        "holds no Tonvane.exe at its top")
  endif()
endif()

# An empty installer setting stands for the stand-in; the terms always name
# a text.
set(files TONVANE_TOOLBAR_TERMS_TEXT TONVANE_PLUGIN_TERMS_TEXT)
foreach(setting TONVANE_TOOLBAR_INSTALLER TONVANE_PLUGIN_INSTALLER)
  if(NOT "${${setting}}" STREQUAL "")
    list(APPEND files ${setting})
  endif()
endforeach()
foreach(setting ${files})
  if(NOT IS_ABSOLUTE "${${setting}}" OR NOT EXISTS "${${setting}}" OR IS_DIRECTORY "${${setting}}")
    message(FATAL_ERROR "${setting} is \"${${setting}}\": it must name an existing file by its full path")
  endif()
endforeach()

# The build's own tools (tools/pack-archive, the sample tree) are Python 3
# scripts; Debian's python3 comes first when the path offers another one.
find_program(TONVANE_PYTHON NAMES python3 HINTS /usr/bin REQUIRED
             DOC "Python 3 for the build's tools")
unset(number)
unset(files)
