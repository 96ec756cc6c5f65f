# Debian's header-only libraries live in /usr/include, which must never reach the mingw
# compiler whole (glibc's headers would shadow mingw's): only their own folders are staged.
function(corvane_stage_headers folder)
  set(stage ${CMAKE_BINARY_DIR}/mingw-staged-include)
  file(MAKE_DIRECTORY ${stage})
  if(NOT EXISTS ${stage}/${folder})
    if(NOT EXISTS /usr/include/${folder})
      message(FATAL_ERROR "/usr/include/${folder} is missing")
    endif()
    file(CREATE_LINK /usr/include/${folder} ${stage}/${folder} SYMBOLIC)
  endif()
endfunction()
