// Visibility of the library's exported classes, data and functions.
#pragma once

#if defined(_WIN32)
// ZOR_STATIC: a program linked with the static library, where nothing is imported.
#  if defined(ZOR_STATIC)
#    define ZOR_EXPORT
#  elif defined(ZOR_BUILDING_DLL)
#    define ZOR_EXPORT __declspec(dllexport)
#  else
#    define ZOR_EXPORT __declspec(dllimport)
#  endif
#else
#  define ZOR_EXPORT __attribute__((visibility("default")))
#endif
