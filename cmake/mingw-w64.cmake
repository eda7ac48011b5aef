# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DEXPORTADOR_SO_COMPILA=ON
# (scripts/compila-windows.sh does this). The posix flavour of the compiler has std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(alvo x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${alvo}-g++-posix ${alvo}-g++ REQUIRED)
find_program(CMAKE_AR NAMES ${alvo}-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${alvo}-ranlib REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${alvo}-windres)

# Headers, libraries and pkg-config's files come from the MinGW sysroot (zlib among them), never
# from Linux's /usr; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${alvo})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/${alvo}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Firebird's, libarchive's, SimpleIni's and CLI11's headers are the same on both systems and say so with
# their own _WIN32 branches, but Debian ships them for Linux only. They are reached through a
# second root of their own that holds just links to them, so that no other Linux header is
# ever seen by the Windows compiler.
get_property(em_teste GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT em_teste)
  set(raiz ${CMAKE_BINARY_DIR}/cabecalhos-linux)
  file(MAKE_DIRECTORY ${raiz}/include)
  foreach(cabecalho firebird ibase.h iberror.h archive.h archive_entry.h SimpleIni.h CLI)
    if(NOT EXISTS ${raiz}/include/${cabecalho})
      file(CREATE_LINK /usr/include/${cabecalho} ${raiz}/include/${cabecalho} SYMBOLIC)
    endif()
  endforeach()
  list(APPEND CMAKE_FIND_ROOT_PATH ${raiz})
endif()
