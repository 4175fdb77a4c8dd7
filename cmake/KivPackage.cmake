# Debian packages: `cpack -G DEB` in the build directory makes
#   kivcontrols_<version>_<arch>.deb          kivform, the samples, the guide
#   libkivcontrols-dev_<version>_<arch>.deb   headers, static libraries, the
#                                             CMake package, the example
# for Debian 12. The runner's Depends come from dpkg-shlibdeps; the
# development package depends on the -dev packages whose headers and
# libraries a program built against KivControls needs.
set(CPACK_PACKAGE_NAME kivcontrols)
set(CPACK_PACKAGE_VENDOR "KivControls for C++")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runner dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KivControls for C++ maintainers")

set(CPACK_DEBIAN_RUNNER_PACKAGE_NAME kivcontrols)
set(CPACK_DEBIAN_RUNNER_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_RUNNER_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNNER_DESCRIPTION
    "runner and samples of the KivControls form controls
kivform opens a record-maintenance screen described in a JSON form file
over a SQLite or PostgreSQL database, in a window or headless from a
script; with sample screens, their database and the guide.")

set(KIV_DEV_DEPENDS libsqlite3-dev libpq-dev libicu-dev libfmt-dev nlohmann-json3-dev)
if(TARGET kiv_qt)
  list(APPEND KIV_DEV_DEPENDS qt6-base-dev)
endif()
list(JOIN KIV_DEV_DEPENDS ", " CPACK_DEBIAN_DEV_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkivcontrols-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "cmake, g++, kivcontrols (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "data-aware form controls for C++ (development files)
Headers, static libraries and the CMake package KivControls
(find_package(KivControls)) for C++20 programs that build
record-maintenance screens over SQLite and PostgreSQL from the
controls, with a Qt 6 front end and a headless host.")

include(CPack)
