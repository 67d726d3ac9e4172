include_guard(GLOBAL)

# tandro_platform_sources(<list variable>)
# Keeps only the sources of the platform being built: Windows-only files have "Win32" in
# their name, POSIX-only files "Posix".
function(tandro_platform_sources variable)
  set(sources ${${variable}})
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "Posix[^/]*\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "Win32[^/]*\\.cpp$")
  endif()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()
