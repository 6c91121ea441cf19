# The third-party C sources built into the host, from the pinned npm packages (package.json):
# PQClean's ML-KEM-1024 and the reference Argon2, each with its own defaults and without our
# warning flags.

set(QUARN_PQCLEAN_DIR "${CMAKE_SOURCE_DIR}/node_modules/pqclean/deps/PQClean" CACHE PATH
    "PQClean sources from the pinned npm package")
set(QUARN_ARGON2_DIR "${CMAKE_SOURCE_DIR}/node_modules/argon2/argon2" CACHE PATH
    "Reference Argon2 sources from the pinned npm package")

# PQClean's portable ML-KEM-1024. Its random bytes (for the tools' key pairs; the host only
# decapsulates) come from getrandom() through its own randombytes.c, or from CNG on Windows.
set(QUARN_MLKEM_DIR ${QUARN_PQCLEAN_DIR}/crypto_kem/ml-kem-1024/clean)
if(NOT EXISTS ${QUARN_MLKEM_DIR}/kem.c OR NOT EXISTS ${QUARN_PQCLEAN_DIR}/common/fips202.c)
  message(FATAL_ERROR
    "PQClean sources not found under ${QUARN_PQCLEAN_DIR}. Run dev/bootstrap to install the "
    "pinned pqclean npm package, or set QUARN_PQCLEAN_DIR.")
endif()
file(GLOB QUARN_MLKEM_SOURCES CONFIGURE_DEPENDS ${QUARN_MLKEM_DIR}/*.c)
add_library(pqclean_mlkem1024 STATIC ${QUARN_MLKEM_SOURCES} ${QUARN_PQCLEAN_DIR}/common/fips202.c)
target_include_directories(pqclean_mlkem1024 SYSTEM PUBLIC ${QUARN_MLKEM_DIR} ${QUARN_PQCLEAN_DIR}/common)
set_target_properties(pqclean_mlkem1024 PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON)
if(WIN32)
  target_sources(pqclean_mlkem1024 PRIVATE ${CMAKE_SOURCE_DIR}/src/crypto/cng/randombytes.c)
  target_link_libraries(pqclean_mlkem1024 PRIVATE bcrypt)
else()
  target_sources(pqclean_mlkem1024 PRIVATE ${QUARN_PQCLEAN_DIR}/common/randombytes.c)
endif()

# The reference Argon2, single-threaded. Its optimised fill_segment (opt.c) is compiled once per
# instruction set under a name of its own, and src/crypto/argon2_fill.c chooses one at run time.
if(NOT EXISTS ${QUARN_ARGON2_DIR}/src/opt.c)
  message(FATAL_ERROR
    "Argon2 sources not found under ${QUARN_ARGON2_DIR}. Run dev/bootstrap to install the "
    "pinned argon2 npm package, or set QUARN_ARGON2_DIR.")
endif()
set(QUARN_ARGON2_INCLUDES ${QUARN_ARGON2_DIR}/include ${QUARN_ARGON2_DIR}/src)
foreach(isa sse2 avx2 avx512f)
  add_library(argon2_fill_${isa} OBJECT ${QUARN_ARGON2_DIR}/src/opt.c)
  target_include_directories(argon2_fill_${isa} SYSTEM PRIVATE ${QUARN_ARGON2_INCLUDES})
  target_compile_definitions(argon2_fill_${isa} PRIVATE
    ARGON2_NO_THREADS fill_segment=quarn_fill_segment_${isa})
  target_compile_options(argon2_fill_${isa} PRIVATE -m${isa})
  set_target_properties(argon2_fill_${isa} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endforeach()
add_library(argon2_reference STATIC
  ${QUARN_ARGON2_DIR}/src/argon2.c ${QUARN_ARGON2_DIR}/src/core.c
  ${QUARN_ARGON2_DIR}/src/encoding.c ${QUARN_ARGON2_DIR}/src/blake2/blake2b.c
  ${CMAKE_SOURCE_DIR}/src/crypto/argon2_fill.c
  $<TARGET_OBJECTS:argon2_fill_sse2> $<TARGET_OBJECTS:argon2_fill_avx2>
  $<TARGET_OBJECTS:argon2_fill_avx512f>)
target_include_directories(argon2_reference SYSTEM PUBLIC ${QUARN_ARGON2_INCLUDES})
target_include_directories(argon2_reference PUBLIC ${CMAKE_SOURCE_DIR}/src/crypto)
target_compile_definitions(argon2_reference PRIVATE ARGON2_NO_THREADS)
