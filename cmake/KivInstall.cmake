# Install rules and the CMake package KivControls.
#
#   include/kiv/<layer>/*.h          the public headers
#   lib/libkiv_<layer>.a             the layer libraries
#   lib/cmake/KivControls/           KivControlsConfig.cmake, its version file
#                                    and one targets file per component
#   bin/kivform                      the runner
#   share/kivcontrols/samples/       the sample database script, forms, scripts
#   share/doc/kivcontrols/           the guide and the reference pages
#   share/doc/kivcontrols/examples/  the consumer example
#
# Install components (one Debian package each, see cmake/KivPackage.cmake):
# `dev` (headers, libraries, the CMake package, the example) and `runner`
# (kivform, the samples, the documentation).
#
# Which headers are public: every header under src/kiv/ except those whose
# path (relative to src/kiv/) matches a pattern in KIV_PRIVATE_HEADERS. A new
# private header either ends in "Impl.h" or gets a line here. The install
# test fails when an installed header includes one that is not installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KIV_PRIVATE_HEADERS
    # Naming rule: implementation classes of a public class.
    "**/*Impl.h"
    # Runtime: number and date text helpers of the conversions.
    "runtime/DateText.h"
    "runtime/NumberText.h"
    # Data: the drivers (a connection is opened by URI), the criteria and
    # sort engines, the row storage and the statement rewriting behind the
    # record set.
    "data/sqlite/*"
    "data/postgres/*"
    "data/RowStore.h"
    "data/Criteria.h"
    "data/SortOrder.h"
    "data/SqlText.h"
    # Host: helpers of the widget model.
    "host/Utf8Text.h"
    "host/ColourValue.h"
    # Controls: the thread's default-size flag.
    "field_editor/DefaultSizeFlag.h"
    # Qt: the widget peers and their helpers (PeerFactory.h, QtHost.h, Run.h
    # and FormWindow.h are the front end's public face).
    "qt/*Peer.h"
    "qt/KeyMap.h"
    "qt/Units.h"
    "qt/RecordsetModel.h")

set(KIV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KivControls)

# A glob pattern ("**/" any folders, "*" any characters but "/") as a regex.
function(kiv_glob_to_regex pattern out)
  string(REPLACE "." "\\." regex "${pattern}")
  string(REPLACE "**/" "<folders>" regex "${regex}")
  string(REPLACE "*" "[^/]*" regex "${regex}")
  string(REPLACE "<folders>" "(.*/)?" regex "${regex}")
  set(${out} "^${regex}$" PARENT_SCOPE)
endfunction()

# The public headers of the folders (relative to src/kiv), as paths relative
# to src/kiv.
function(kiv_public_headers out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src/kiv
         ${PROJECT_SOURCE_DIR}/src/kiv/${dir}/*.h)
    foreach(header IN LISTS headers)
      set(private FALSE)
      foreach(pattern IN LISTS KIV_PRIVATE_HEADERS)
        kiv_glob_to_regex("${pattern}" regex)
        if(header MATCHES "${regex}")
          set(private TRUE)
        endif()
      endforeach()
      if(NOT private)
        list(APPEND result ${header})
      endif()
    endforeach()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# kiv_install_layer(TARGET COMPONENT DIRS dir...): the library, its public
# headers and its export set (KivControls::<component>).
function(kiv_install_layer target component)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${component})
  add_library(KivControls::${component} ALIAS ${target})
  install(TARGETS ${target} EXPORT KivControls-${component}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
          INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT KivControls-${component} NAMESPACE KivControls::
          FILE KivControls-${component}-targets.cmake DESTINATION ${KIV_CMAKE_DIR} COMPONENT dev)
  kiv_public_headers(headers ${ARGN})
  foreach(header IN LISTS headers)
    get_filename_component(folder ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/src/kiv/${header}
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kiv/${folder} COMPONENT dev)
  endforeach()
  # A stripped install (cmake --install --strip, and the Debian packages)
  # drops the debug information from the static library too.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" AND CMAKE_STRIP)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${target}>\"
    COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT dev)
  endif()
endfunction()

kiv_install_layer(kiv_runtime runtime runtime)
kiv_install_layer(kiv_data data data data/sqlite data/postgres)
kiv_install_layer(kiv_host host host)
kiv_install_layer(kiv_controls controls shared field_editor form_controller search
                  description_grid)
set(KIV_COMPONENTS runtime data host controls)
if(TARGET kiv_qt)
  kiv_install_layer(kiv_qt qt qt)
  list(APPEND KIV_COMPONENTS qt)
endif()

if(TARGET kivform)
  install(TARGETS kivform RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runner)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kivcontrols/samples COMPONENT runner)
install(FILES ${PROJECT_SOURCE_DIR}/docs/guide.md ${PROJECT_SOURCE_DIR}/docs/form-files.md
              ${PROJECT_SOURCE_DIR}/docs/scripts.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kivcontrols COMPONENT runner)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kivcontrols/examples COMPONENT dev
        PATTERN "build*" EXCLUDE PATTERN "*.db" EXCLUDE)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KivControlsConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KivControlsConfig.cmake
                              INSTALL_DESTINATION ${KIV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KivControlsConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KivControlsConfig.cmake
              ${PROJECT_BINARY_DIR}/KivControlsConfigVersion.cmake
        DESTINATION ${KIV_CMAKE_DIR} COMPONENT dev)
