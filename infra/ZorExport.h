// Visibility of the library's exported classes, data and functions.
#pragma once

#if defined(_WIN32)
#  ifdef ZOR_BUILDING_DLL
#    define ZOR_EXPORT __declspec(dllexport)
#  else
#    define ZOR_EXPORT __declspec(dllimport)
#  endif
#else
#  define ZOR_EXPORT __attribute__((visibility("default")))
#endif
