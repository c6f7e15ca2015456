# Cross build for Windows x64 with clang in MSVC mode, linked by lld-link,
# against the Windows headers and import libraries of Wine's development
# files (Debian's libwine-dev).  There is no C++ library and no MSVC
# runtime start-up here: the C runtime is the system's ucrtbase.dll, and
# the project's own start-up routines (src/start/) take the place of the
# runtime's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_RC_COMPILER llvm-rc)

set(GAMEHOST_WINE_INCLUDE /usr/include/wine/wine)
set(GAMEHOST_WINE_LIBRARIES /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
# Without the MSVC runtime's objects a test program could not link; the
# compiler checks stop at a library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

execute_process(COMMAND clang -print-resource-dir
  OUTPUT_VARIABLE GAMEHOST_CLANG_RESOURCES OUTPUT_STRIP_TRAILING_WHITESPACE)
# Only clang's own headers and these: no host headers may leak in.  Wine 8's
# winnt.h defines an inline InterlockedCompareExchange128 that this mode
# takes as a second definition of the compiler's builtin; the define renames
# the header's one.
set(GAMEHOST_CLANG_FLAGS
  "-nostdinc -isystem ${GAMEHOST_CLANG_RESOURCES}/include"
  "-isystem ${GAMEHOST_WINE_INCLUDE}/msvcrt -isystem ${GAMEHOST_WINE_INCLUDE}/windows"
  "-D_InterlockedCompareExchange128=WineInterlockedCompareExchange128")
string(JOIN " " GAMEHOST_CLANG_FLAGS ${GAMEHOST_CLANG_FLAGS})
set(CMAKE_C_FLAGS_INIT "${GAMEHOST_CLANG_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${GAMEHOST_CLANG_FLAGS}")
set(CMAKE_RC_FLAGS_INIT "-I ${GAMEHOST_WINE_INCLUDE}/windows")

# lld-link looks libraries up as NAME.lib; Wine ships them as libNAME.a.
# A folder of links by the expected names lets targets name them as usual.
set(GAMEHOST_IMPORT_LIBRARIES "${CMAKE_BINARY_DIR}/import-libraries")
file(MAKE_DIRECTORY "${GAMEHOST_IMPORT_LIBRARIES}")
foreach(name kernel32 user32 gdi32 advapi32 ws2_32 bcrypt ucrtbase)
  file(CREATE_LINK "${GAMEHOST_WINE_LIBRARIES}/lib${name}.a"
    "${GAMEHOST_IMPORT_LIBRARIES}/${name}.lib" SYMBOLIC)
endforeach()
# No default libraries (the compiler names the MSVC runtime's); the C
# runtime is ucrtbase.dll, whose entry points these headers declare.
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -luser32 -lucrtbase" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "-lkernel32 -luser32 -lucrtbase" CACHE STRING "" FORCE)
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-fuse-ld=lld -Wno-unused-command-line-argument -Xlinker /nodefaultlib -Xlinker /libpath:${GAMEHOST_IMPORT_LIBRARIES} -Xlinker /dynamicbase -Xlinker /highentropyva -Xlinker /nxcompat -Xlinker /brepro -Xlinker /manifest:no")
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/clang-msvc-rules.cmake")

# Read by the project: link the start-up routines of src/start/.
set(GAMEHOST_OWN_START_UP ON)
