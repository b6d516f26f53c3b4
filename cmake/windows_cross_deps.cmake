# Libraries of a Windows cross build, taken from the build machine's Debian packages:
# GoogleTest compiled from its sources, and the header-only INI and JSON libraries seen through a
# folder of their own, so that nothing else of the machine's /usr/include reaches the compiler.
set(VINDLE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# It defines the GTest:: names itself.
add_subdirectory(${VINDLE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(vindle_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${vindle_host_headers})
foreach(header nlohmann SimpleIni.h)
    if(NOT EXISTS /usr/include/${header})
        message(FATAL_ERROR "/usr/include/${header} missing: run scripts/setup")
    endif()
    file(CREATE_LINK /usr/include/${header} ${vindle_host_headers}/${header} SYMBOLIC)
endforeach()
target_include_directories(vindle_core SYSTEM PUBLIC ${vindle_host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${vindle_host_headers})
