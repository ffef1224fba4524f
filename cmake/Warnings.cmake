# Every target of ours builds warning-free with these.
function(vt_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
