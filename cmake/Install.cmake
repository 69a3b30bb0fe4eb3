# The installed library. A host finds it with find_package(Rulecraft CONFIG), which gives
#   Rulecraft::rulecraft         the shared library (librulecraft.so), the usual choice;
#   Rulecraft::rulecraft_static  the static library (librulecraft.a), taken whole so that the registration
#                                of the parser and the packages, which runs when the library is loaded, is
#                                linked in;
# or with `pkg-config --cflags --libs rulecraft` (the shared library). Both libraries hold every layer and
# the top (Rulecraft.cpp); the headers keep the include paths a host uses in the source tree
# (#include "rulecraft/Rulecraft.h").
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(RULECRAFT_INSTALL_OBJECTS ${RULECRAFT_LAYER_OBJECTS} $<TARGET_OBJECTS:rulecraft_top_objects>)
set(RULECRAFT_INSTALL_LIB_DIR ${PROJECT_BINARY_DIR}/installed-libraries)

add_library(rulecraft_shared SHARED ${RULECRAFT_INSTALL_OBJECTS})
add_library(rulecraft_static STATIC ${RULECRAFT_INSTALL_OBJECTS})
foreach(variant rulecraft_shared rulecraft_static)
  set_target_properties(${variant} PROPERTIES
    OUTPUT_NAME rulecraft
    ARCHIVE_OUTPUT_DIRECTORY ${RULECRAFT_INSTALL_LIB_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${RULECRAFT_INSTALL_LIB_DIR})
  target_include_directories(${variant} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(${variant} INTERFACE cxx_std_20)
endforeach()
set_target_properties(rulecraft_shared PROPERTIES
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
  EXPORT_NAME rulecraft)
set_target_properties(rulecraft_static PROPERTIES EXPORT_NAME rulecraft_static_archive)
find_package(Threads REQUIRED)
target_link_libraries(rulecraft_shared PRIVATE Threads::Threads ${CMAKE_DL_LIBS})
target_link_libraries(rulecraft_static INTERFACE Threads::Threads ${CMAKE_DL_LIBS})
install(TARGETS rulecraft_shared rulecraft_static EXPORT RulecraftTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS rulecraft_exe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/rulecraft/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/rulecraft
        FILES_MATCHING PATTERN "*.h")

set(RULECRAFT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Rulecraft)
install(EXPORT RulecraftTargets NAMESPACE Rulecraft:: DESTINATION ${RULECRAFT_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/RulecraftConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/RulecraftConfig.cmake
                              INSTALL_DESTINATION ${RULECRAFT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RulecraftConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RulecraftConfig.cmake ${PROJECT_BINARY_DIR}/RulecraftConfigVersion.cmake
        DESTINATION ${RULECRAFT_CMAKE_DIR})

# pkg-config: the prefix is written relative to the file's own place, so an installed tree may be moved.
file(RELATIVE_PATH RULECRAFT_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(${CMAKE_CURRENT_LIST_DIR}/rulecraft.pc.in ${PROJECT_BINARY_DIR}/rulecraft.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rulecraft.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
