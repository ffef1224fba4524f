# Release build with assertions, warnings as errors; every test that needs
# no display.
mkdir -p "$VT_ROOT/build"
vt_build "$VT_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DVT_WERROR=ON
vt_ctest "$VT_ROOT/build/release" -LE window
