# Linux install layout: bin/velmora, libvelmora.so with its soname and libCorvel.so
# beside it, the C++ headers under include/velmora/, a pkg-config file, the CMake
# package Velmora (target Velmora::velmora), the man page and the fact file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The headers a consumer of clsTarsin needs, their includes rewritten to
# <velmora/...>: the facade stands at the top, the rest keep their folders.
set(public_headers public/clsTarsin.h base/String.h base/StringArray.h base/RuntimeError.h)
file(GLOB platform_headers RELATIVE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/platform/*.h)
set(header_root ${PROJECT_BINARY_DIR}/include/velmora)
foreach(header IN LISTS public_headers platform_headers)
  set(source ${PROJECT_SOURCE_DIR}/src/${header})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REGEX REPLACE "#include \"public/([^\"]+)\"" "#include <velmora/\\1>" text "${text}")
  string(REGEX REPLACE "#include \"([^\"]+)\"" "#include <velmora/\\1>" text "${text}")
  string(REGEX REPLACE "^public/" "" installed ${header})
  file(WRITE ${header_root}/${installed} "${text}")
endforeach()
install(DIRECTORY ${header_root} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

# A prefix outside /usr finds its own library folder; the system one needs no search path.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set_target_properties(velmora_cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()
# The headers need C++20; consumers get it from the target (and from velmora.pc).
target_include_directories(velmora INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(velmora INTERFACE cxx_std_20)
install(TARGETS velmora EXPORT VelmoraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev)
install(TARGETS Corvel LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib)
install(TARGETS velmora_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${cmake_dir} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/VelmoraConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelmoraConfig.cmake INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelmoraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.pc.in ${PROJECT_BINARY_DIR}/velmora.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/VelmoraConfig.cmake ${PROJECT_BINARY_DIR}/VelmoraConfigVersion.cmake
  DESTINATION ${cmake_dir} COMPONENT dev)
install(FILES ${PROJECT_BINARY_DIR}/velmora.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.1.in ${PROJECT_BINARY_DIR}/velmora.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velmora.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/velmora.fact DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora COMPONENT tool)
