# ThreadSanitizer build of the tests labelled "concurrency".
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
vt_build "$VT_ROOT/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_SANITIZE=thread \
  -DVT_BUILD_BENCH=OFF -DVT_WERROR=ON
vt_ctest "$VT_ROOT/build/tsan" -L concurrency
