# Static analysis as a gate: clang-tidy and cppcheck over our sources, any
# finding fails the stage. Needs only a configured tree, no build.
vt_need_packages clang-14 clang-tidy-14 cppcheck
bash "$VT_ROOT/tools/analyse.sh" -j "$VT_JOBS"
