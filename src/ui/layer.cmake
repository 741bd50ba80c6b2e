# The program's own version, for its About dialogs: major.minor.patch, missing parts 0.
foreach(part MAJOR MINOR PATCH)
  set(number "${PROJECT_VERSION_${part}}")
  if(number STREQUAL "")
    set(number 0)
  endif()
  target_compile_definitions(quarnel_ui PRIVATE QUARNEL_VERSION_${part}=${number})
endforeach()
