include_guard(GLOBAL)

# tandro_platform_sources(<list variable> [POSIX <files>...])
# Keeps only the sources of the platform being built. Windows-only files have "Win32" in
# their name, POSIX-only files "Posix"; POSIX lists the older POSIX files named otherwise.
function(tandro_platform_sources variable)
  cmake_parse_arguments(ARG "" "" "POSIX" ${ARGN})
  set(sources ${${variable}})
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "Posix[^/]*\\.cpp$")
    list(TRANSFORM ARG_POSIX PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
    list(REMOVE_ITEM sources ${ARG_POSIX})
  else()
    list(FILTER sources EXCLUDE REGEX "Win32[^/]*\\.cpp$")
  endif()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()
