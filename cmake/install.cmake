# Installation: the public header, the shared library (with SONAME and
# version) and the static one, the svacdec tool, a pkg-config file and a CMake
# package, so hosts find the decoder with `pkg-config svacdec` or
# `find_package(SvacDec)` and link SvacDec::svacdec; and the GStreamer plugin.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(svacdec PROPERTIES VERSION ${PROJECT_VERSION}.0 SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(svacdec_static PROPERTIES EXPORT_NAME svacdec_static)
# Installed consumers find the header under the install prefix, not in the source tree.
foreach(t svacdec svacdec_static)
  set_target_properties(${t} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
    "$<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>;$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
endforeach()

install(TARGETS svacdec svacdec_static EXPORT SvacDecTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS svacdec_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET gstsvac)
  install(TARGETS gstsvac LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/gstreamer-1.0)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/include/svacdec.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(SVAC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/SvacDec)
install(EXPORT SvacDecTargets NAMESPACE SvacDec:: DESTINATION ${SVAC_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/SvacDecConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/SvacDecConfig.cmake INSTALL_DESTINATION ${SVAC_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/SvacDecConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/SvacDecConfig.cmake ${CMAKE_BINARY_DIR}/SvacDecConfigVersion.cmake
        DESTINATION ${SVAC_CMAKE_DIR})

# The .pc file locates the prefix from its own place, so the tree can be
# installed with `cmake --install --prefix` anywhere or moved afterwards.
file(RELATIVE_PATH SVAC_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" SVAC_PC_TO_PREFIX "${SVAC_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/svacdec.pc.in ${CMAKE_BINARY_DIR}/svacdec.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/svacdec.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
