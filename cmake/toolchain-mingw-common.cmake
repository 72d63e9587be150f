# Shared by the MinGW-w64 toolchain files: Debian's cross compilers (the -posix flavour, which
# has std::thread) and the dependencies built by tools/windows-deps.sh into its cache folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVLIN_WINDOWS_ARCH})
set(TAVLIN_MINGW_HOST ${TAVLIN_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVLIN_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVLIN_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVLIN_MINGW_HOST}-windres)

if(NOT TAVLIN_WINDOWS_DEPS)
  if(DEFINED ENV{TAVLIN_WINDOWS_DEPS})
    set(TAVLIN_WINDOWS_DEPS $ENV{TAVLIN_WINDOWS_DEPS})
  else()
    set(TAVLIN_WINDOWS_DEPS /var/cache/tavlin-windows)
  endif()
endif()
# CMake's own compiler checks configure projects of their own: they get the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVLIN_WINDOWS_DEPS)
set(TAVLIN_WINDOWS_PREFIX ${TAVLIN_WINDOWS_DEPS}/${TAVLIN_WINDOWS_ARCH} CACHE PATH
    "Dependencies built by tools/windows-deps.sh")
if(NOT EXISTS ${TAVLIN_WINDOWS_PREFIX}/VERSIONS)
  message(FATAL_ERROR "No Windows dependencies in ${TAVLIN_WINDOWS_PREFIX}: "
                      "run tools/windows-deps.sh --arch ${TAVLIN_WINDOWS_ARCH}")
endif()

set(CMAKE_FIND_ROOT_PATH ${TAVLIN_WINDOWS_PREFIX} /usr/${TAVLIN_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(wxWidgets_CONFIG_EXECUTABLE ${TAVLIN_WINDOWS_PREFIX}/bin/wx-config CACHE FILEPATH "")
set(ENV{PKG_CONFIG_LIBDIR} ${TAVLIN_WINDOWS_PREFIX}/lib/pkgconfig)
# Programs built here run under Wine for the tests.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
