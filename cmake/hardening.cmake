# Hardening of everything the build compiles and links, and how the shipped programs are made:
# stripped, their debug information kept beside them, and on Windows a manifest and imports that
# come from System32 only. tests/binary_hardening.sh checks the result on the built programs.

# Optimised builds without sanitizers or fuzzing instrumentation are the ones that ship.
if(NOT QUARN_SANITIZE AND NOT QUARN_FUZZ AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  set(QUARN_SHIPPING ON)
else()
  set(QUARN_SHIPPING OFF)
endif()

# The shipped programs are position-independent executables on Linux (below; Debian's compilers
# make every object position-independent already). On Windows the images are relocatable
# (DYNAMIC_BASE).
if(NOT WIN32)
  include(CheckPIESupported)
  check_pie_supported()
endif()

add_compile_options(-fstack-protector-strong)
if(WIN32)
  # mingw-w64 keeps the stack protector's failure routine in libssp, which -static links in; the
  # flag must reach the link for the driver to add it.
  add_link_options(-fstack-protector-strong)
  # binutils 2.40 marks every image DYNAMIC_BASE, HIGH_ENTROPY_VA and NX_COMPAT by default; stated
  # here so that an older linker cannot quietly drop them.
  add_link_options(-Wl,--dynamicbase,--high-entropy-va,--nxcompat)
else()
  # Indirect-branch targets (IBT) and return addresses (shadow stack) marked for CET; a guard page
  # that a large stack frame cannot jump over; every relocation resolved at start, then read-only.
  add_compile_options(-fcf-protection=full -fstack-clash-protection)
  add_link_options(-Wl,-z,relro,-z,now)
endif()
# Checked string and memory calls where the compiler knows the object's size. Only optimised code
# (glibc warns and does nothing at -O0) and not under the sanitizers, which check every access
# themselves and do not all intercept the checked variants.
if(QUARN_SHIPPING)
  if(WIN32)
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
  else()
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3)
  endif()
endif()

if(WIN32)
  enable_language(RC)
endif()

# quarn_shipped_program(target): a program that is installed and shipped. In shipping builds its
# symbols and debug information go into <program>.debug beside it (a .gnu_debuglink names that
# file for debuggers, Valgrind and symbolizers), and the program itself keeps none: on Windows
# the loader maps the whole image at every start, one start per message. On Windows it also
# carries the application manifest (cmake/windows/); its DLLs come from System32 as every
# program's do (cmake/windows.cmake).
function(quarn_shipped_program target)
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/windows/manifest.rc
                                     $<TARGET_OBJECTS:dll_search_path>)
  else()
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
  if(QUARN_SHIPPING)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}>
              $<TARGET_FILE:${target}>.debug
      COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
              $<TARGET_FILE:${target}>
      VERBATIM)
  endif()
endfunction()
