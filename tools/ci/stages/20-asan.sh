# AddressSanitizer + UndefinedBehaviorSanitizer: any report fails the test.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
vt_build "$VT_ROOT/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_SANITIZE=address,undefined \
  -DVT_BUILD_BENCH=OFF -DVT_WERROR=ON
vt_ctest "$VT_ROOT/build/asan" -LE 'window|slow'
