# The Windows build (MinGW-w64, cross-built on Debian with cmake/toolchain-mingw-*.cmake).
# Everything is linked statically: the toolkit, libcurl, zlib, libpng and the compiler's own
# runtime go inside ZorTavlinDllCom.dll and each program, so a technician copies one folder and
# an integrator ships one DLL, with nothing to install beside them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_compile_definitions(_WIN32_WINNT=0x0601 CURL_STATICLIB)
link_directories(${TAVLIN_WINDOWS_PREFIX}/lib)
add_link_options(-static -static-libgcc -static-libstdc++)
# The system libraries of the static dependencies and of platform/windows, last on every line.
foreach(lang C CXX)
  set(CMAKE_${lang}_STANDARD_LIBRARIES
      "-lz -liphlpapi -lws2_32 -lcrypt32 -lbcrypt -lsecur32 -lnormaliz -lshlwapi -lversion -luxtheme -loleacc -lcomctl32 -lcomdlg32 -lole32 -loleaut32 -luuid -lgdi32 -lwinspool -lshell32 -luser32 -ladvapi32 -lkernel32"
      CACHE STRING "" FORCE)
endforeach()
enable_language(RC)
# wx-config of the static toolkit (FindwxWidgets asks it for the flags).
set(wxWidgets_USE_STATIC ON)

# The flat functions under their fixed ordinals (the exported classes after them), and the
# toolkit's own resources, which it loads from the module it lives in.
set(TAVLIN_DLL_EXTRA_SOURCES ${CMAKE_SOURCE_DIR}/api/ZorTavlinDllCom.def
    ${CMAKE_SOURCE_DIR}/packaging/windows/ZorTavlinDllCom.rc)
set(TAVLIN_WINDOWS_TEST_DIR ${CMAKE_SOURCE_DIR}/tests/windows)

# wx-config makes every program a window program; each of ours says so itself
# (WIN32_EXECUTABLE), so that tavlin.exe and the test programs keep their console.
macro(tavlin_windows_console_flags)
  foreach(v TAVLIN_WX_ENGINE_LIBRARIES TAVLIN_WX_WINDOW_LIBRARIES wxWidgets_LIBRARIES)
    list(FILTER ${v} EXCLUDE REGEX "^-mwindows$|--subsystem")
  endforeach()
endmacro()

function(tavlin_windows_targets)
  # ZorTavlinDllCom.dll and its import library ZorTavlinDllCom.lib, no "lib" prefix.
  set_target_properties(ZorTavlinDllCom PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit: __stdcall functions exported under their plain names, as hosts look them up.
    target_link_options(ZorTavlinDllCom PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
    # and an import library that binds those names to the decorated symbols hosts ask for.
    add_custom_command(TARGET ZorTavlinDllCom POST_BUILD
      COMMAND ${CMAKE_SOURCE_DIR}/packaging/windows/stdcall-implib.sh ${CMAKE_OBJDUMP} ${CMAKE_NM}
              ${TAVLIN_MINGW_HOST}-dlltool $<TARGET_FILE:ZorTavlinDllCom>
              $<TARGET_LINKER_FILE:ZorTavlinDllCom>
      VERBATIM)
  endif()
  # The programs' icon is drawn into the build folder with the pictures.
  target_sources(ZorTavlinControle PRIVATE ${CMAKE_SOURCE_DIR}/packaging/windows/ZorTavlinControle.rc)
  set_target_properties(ZorTavlinControle PROPERTIES WIN32_EXECUTABLE ON)
  target_sources(tavlin PRIVATE ${CMAKE_SOURCE_DIR}/packaging/windows/tavlin.rc)
  foreach(t ZorTavlinControle tavlin)
    target_include_directories(${t} PRIVATE ${CMAKE_BINARY_DIR})
    add_dependencies(${t} tavlin_pictures)
  endforeach()
  add_subdirectory(${TAVLIN_WINDOWS_TEST_DIR} ${CMAKE_BINARY_DIR}/tests)
endfunction()
