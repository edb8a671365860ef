# Hardened programs: the programs read pictures from anywhere, so a bad file that gets past a
# parser's checks should meet a stack guard, fortified library calls, read-only relocations and a
# randomised address space rather than a predictable process. scripts/check-packages.sh checks
# every shipped binary for each of these.
if(WIN32)
  # The stack guard needs libssp; -static (CMakeLists.txt) links it into each .exe, so the programs
  # still import only system DLLs. The guard's random value comes from advapi32's CryptGenRandom.
  add_compile_options(-fstack-protector-strong)
  add_link_options(-fstack-protector-strong)
  # ASLR and DEP. A 32-bit program is marked large address aware, so that it may use up to 4 GiB on
  # 64-bit Windows (only the i686 linker takes the option); a 64-bit one gets high-entropy ASLR,
  # which exists only for 64-bit programs, and is large address aware by the linker's default.
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
  else()
    add_link_options(-Wl,--large-address-aware)
  endif()
  return()
endif()

# Position-independent executables, so that ASLR moves the programs themselves too.
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong)
# Full RELRO: relocations are resolved at start and the tables made read-only after.
add_link_options(-Wl,-z,relro -Wl,-z,now)

# _FORTIFY_SOURCE works only with optimisation (glibc warns, and warnings are errors, without it),
# and under the sanitizers it only hides calls from them: those builds go without it.
set(tool_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
set(tool_fortify OFF)
if(NOT TOOLS_SANITIZE AND NOT TOOLS_FUZZ)
  set(tool_fortify ON)
endif()

# The build the .deb is made from also takes Debian's own hardening flags, as a Debian package's
# build would: whatever Debian adds to them later reaches the package without a change here. Its
# optimisation and debug information are left to the build type, which the benchmarks rely on.
option(TOOLS_DEBIAN_BUILDFLAGS "Add dpkg-buildflags' hardening flags (DEB_BUILD_MAINT_OPTIONS=hardening=+all)" ON)
find_program(TOOL_DPKG_BUILDFLAGS dpkg-buildflags)
set(tool_debian_fortify OFF)
if(TOOLS_DEBIAN_BUILDFLAGS AND tool_fortify AND TOOL_DPKG_BUILDFLAGS)
  foreach(kind IN ITEMS CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${TOOL_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*)$")
    if(kind STREQUAL LDFLAGS)
      add_link_options(${flags})
    else()
      foreach(flag IN LISTS flags)
        if(flag MATCHES "^-D_FORTIFY_SOURCE")
          set(tool_debian_fortify ON)
          add_compile_options($<${tool_optimised}:${flag}>)
        else()
          add_compile_options(${flag})
        endif()
      endforeach()
    endif()
  endforeach()
endif()
# Debian's level, when it gives one, or else 2; never both, which would redefine the macro.
if(tool_fortify AND NOT tool_debian_fortify)
  add_compile_options($<${tool_optimised}:-D_FORTIFY_SOURCE=2>)
endif()
