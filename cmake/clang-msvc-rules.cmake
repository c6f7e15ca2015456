# Link rules of the clang MSVC-mode toolchain, read after CMake's own: the
# same command without the manifest that CMake would have the linker make
# and embed (GameHost.exe carries its own in its resources, and two are an
# error), and without an import library or debug database for a program.
foreach(lang C CXX)
  set(CMAKE_${lang}_LINK_EXECUTABLE
    "<CMAKE_${lang}_COMPILER> -fuse-ld=lld-link -nostartfiles -nostdlib <FLAGS> <CMAKE_${lang}_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
endforeach()
