# Every fuzz target for 60 s with AddressSanitizer and
# UndefinedBehaviorSanitizer, two at a time; any finding fails the stage.
vt_need_packages clang-14 libclang-rt-14-dev
mkdir -p "$VT_ROOT/build"
VT_FUZZ_TOTALS="$VT_ROOT/build/.ctest-totals" bash "$VT_ROOT/tools/fuzz.sh" 60
