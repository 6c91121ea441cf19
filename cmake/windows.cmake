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

# The tests run under Wine, which shows the build machine's root folder as drive Z:. Paths that
# the build writes into the tests (the host, the vectors, the build folder) get that drive, so
# that they stay valid in whatever folder a test runs.
set(QUARN_NATIVE_PREFIX "Z:")

# Windows looks for a DLL that is not one of its KnownDLLs in the program's own folder first, so a
# bcrypt.dll left beside the host (in a Downloads folder, say) would be loaded into it at start.
# Each such DLL the build links is imported through a delay-load library made here from
# mingw-w64's import library, under the name the build links it by, and the delay-load hook in
# src/platform/windows/system32_imports.cpp, linked into every program that uses one, loads it
# from System32 on its first call. tests/binary_hardening.sh fails on a static import of any other
# DLL outside KnownDLLs.
set(QUARN_SYSTEM32_ONLY_DLLS bcrypt)
find_program(QUARN_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool dlltool REQUIRED)
add_library(system32_imports OBJECT ${CMAKE_SOURCE_DIR}/src/platform/windows/system32_imports.cpp)
quarn_warnings(system32_imports)
# The shipped programs also restrict the whole process's DLL search before the runtime starts
# (quarn_shipped_program): DLLs that system DLLs load by name come from System32 too.
add_library(dll_search_path OBJECT ${CMAKE_SOURCE_DIR}/src/platform/windows/dll_search_path.cpp)
quarn_warnings(dll_search_path)
set(QUARN_DELAYLIB_DIR ${CMAKE_BINARY_DIR}/delayimp)
file(MAKE_DIRECTORY ${QUARN_DELAYLIB_DIR})
foreach(dll IN LISTS QUARN_SYSTEM32_ONLY_DLLS)
  find_library(QUARN_${dll}_IMPORT_LIBRARY NAMES lib${dll}.a REQUIRED)
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${QUARN_${dll}_IMPORT_LIBRARY}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # Every function the import library names (its "T" symbols; "__imp_" ones are the pointers).
  string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_][A-Za-z0-9_]*" functions "${symbols}")
  list(TRANSFORM functions REPLACE "^[0-9a-f]+ T " "")
  list(REMOVE_DUPLICATES functions)
  list(SORT functions)
  list(JOIN functions "\n" exports)
  file(WRITE ${QUARN_DELAYLIB_DIR}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
  execute_process(
    COMMAND ${QUARN_DLLTOOL} --def ${QUARN_DELAYLIB_DIR}/${dll}.def --dllname ${dll}.dll
            --output-delaylib ${QUARN_DELAYLIB_DIR}/lib${dll}.a
    COMMAND_ERROR_IS_FATAL ANY)
  # `target_link_libraries(... bcrypt)` anywhere in the build now means this target.
  add_library(${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(${dll} PROPERTIES
    IMPORTED_LOCATION ${QUARN_DELAYLIB_DIR}/lib${dll}.a
    INTERFACE_LINK_LIBRARIES "$<TARGET_OBJECTS:system32_imports>")
endforeach()

# No link time in the programs' PE headers: the same sources give the same bytes.
add_link_options(-Wl,--no-insert-timestamp)
