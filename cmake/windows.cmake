# What the Windows build takes from the build machine in place of Debian's Linux libraries.

# nlohmann-json is one header set. Its folder is made visible on its own, through a link in the
# build folder, since /usr/include as a whole would shadow the cross compiler's C library.
find_path(QUARN_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(QUARN_NLOHMANN_LINK_DIR ${CMAKE_BINARY_DIR}/nlohmann_json)
file(MAKE_DIRECTORY ${QUARN_NLOHMANN_LINK_DIR})
file(CREATE_LINK ${QUARN_NLOHMANN_INCLUDE}/nlohmann ${QUARN_NLOHMANN_LINK_DIR}/nlohmann SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${QUARN_NLOHMANN_LINK_DIR})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# GoogleTest from Debian's source package, built by this build.
if(QUARN_TESTS AND NOT QUARN_FUZZ)
  set(QUARN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its own CMake files also define the GTest::gtest and GTest::gtest_main names.
  add_subdirectory(${QUARN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

set(QUARN_ARGON2_DIR "${CMAKE_SOURCE_DIR}/node_modules/argon2/argon2" CACHE PATH
    "Reference Argon2 sources from the pinned npm package")

# The tests run under Wine, which shows the build machine's root folder as drive Z:. Paths that
# the build writes into the tests (the host, the vectors, the build folder) get that drive, so
# that they stay valid in whatever folder a test runs.
set(QUARN_NATIVE_PREFIX "Z:")


# No link time in the programs' PE headers: the same sources give the same bytes.
add_link_options(-Wl,--no-insert-timestamp)
