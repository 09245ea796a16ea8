# Libraries from the distribution. When one is missing and CMake runs as root
# on Debian, it is installed with apt-get (as bench/run.sh does for FFmpeg);
# -DSVAC_INSTALL_DEPS=OFF turns that off.
option(SVAC_INSTALL_DEPS "apt-get install missing Debian packages when configuring as root" ON)
find_package(PkgConfig)

function(svac_apt_install)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_program(SVAC_APT_GET apt-get)
  if(NOT SVAC_INSTALL_DEPS OR NOT uid STREQUAL "0" OR NOT SVAC_APT_GET)
    return()
  endif()
  message(STATUS "Installing ${ARGN} from Debian")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEBIAN_FRONTEND=noninteractive
                          ${SVAC_APT_GET} -o DPkg::Lock::Timeout=600 update -qq
                  OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEBIAN_FRONTEND=noninteractive
                          ${SVAC_APT_GET} -o DPkg::Lock::Timeout=600 install -y -qq ${ARGN}
                  OUTPUT_QUIET)
endfunction()

# PNG snapshots of the tools.
find_package(PNG QUIET)
if(NOT PNG_FOUND)
  svac_apt_install(libpng-dev)
  find_package(PNG REQUIRED)
endif()

# The GStreamer plugin and its tests, when GStreamer's development files are
# there (or can be installed).
set(SVAC_GST_MODULES gstreamer-1.0 gstreamer-base-1.0 gstreamer-video-1.0 gstreamer-check-1.0)
set(SVAC_GST_PACKAGES libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
    gstreamer1.0-plugins-base)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(SVAC_GST QUIET IMPORTED_TARGET ${SVAC_GST_MODULES})
  find_program(SVAC_GST_LAUNCH gst-launch-1.0)
endif()
if(NOT SVAC_GST_FOUND OR NOT SVAC_GST_LAUNCH)
  # pkg-config also serves the test of the installed tree.
  svac_apt_install(pkg-config ${SVAC_GST_PACKAGES})
  unset(SVAC_GST_LAUNCH CACHE)
  find_package(PkgConfig)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(SVAC_GST QUIET IMPORTED_TARGET ${SVAC_GST_MODULES})
    find_program(SVAC_GST_LAUNCH gst-launch-1.0)
  endif()
endif()
if(NOT SVAC_GST_FOUND OR NOT SVAC_GST_LAUNCH)
  set(SVAC_GST_FOUND OFF)
  message(STATUS "GStreamer plugin skipped: apt-get install ${SVAC_GST_PACKAGES}")
endif()
