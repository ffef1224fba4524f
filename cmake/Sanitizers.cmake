# One sanitizer setting for every target, shared libraries included, so a
# stand-in library loaded at run time is instrumented like the program.
if(VT_SANITIZE)
  set(_vt_san_flags -fsanitize=${VT_SANITIZE} -fno-omit-frame-pointer -g)
  if(VT_SANITIZE MATCHES "undefined")
    list(APPEND _vt_san_flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_vt_san_flags})
  add_link_options(-fsanitize=${VT_SANITIZE})
  add_compile_definitions(VT_SANITIZED=1)
endif()
# The fuzz targets steer by the coverage of the code under test, so a fuzz
# build instruments every target of ours; the fuzzer's own main is linked
# into the fuzz targets alone.
if(VT_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
