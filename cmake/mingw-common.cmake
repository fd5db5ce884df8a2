# Shared by both MinGW-w64 toolchain files; DEDORURU_MINGW_TRIPLE names the target.
# Debian ships a "-posix" and a "-win32" threading flavour; the library uses no
# threads of its own, so the win32 flavour keeps winpthread out of the imports.
foreach(tool gcc g++)
  if(EXISTS /usr/bin/${DEDORURU_MINGW_TRIPLE}-${tool}-win32)
    set(_${tool} /usr/bin/${DEDORURU_MINGW_TRIPLE}-${tool}-win32)
  else()
    set(_${tool} /usr/bin/${DEDORURU_MINGW_TRIPLE}-${tool})
  endif()
endforeach()
set(CMAKE_C_COMPILER ${_gcc})
set(CMAKE_CXX_COMPILER ${_g++})
set(CMAKE_RC_COMPILER /usr/bin/${DEDORURU_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DEDORURU_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(DEDORURU_OBJDUMP /usr/bin/${DEDORURU_MINGW_TRIPLE}-objdump)
