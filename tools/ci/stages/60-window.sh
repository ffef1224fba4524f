# The program in a real window system: each test starts its own Xvfb display
# with openbox, drives the window with xdotool and reads it with xprop,
# xwininfo and screen grabs. One test at a time: they measure timing.
vt_need_packages xvfb openbox xdotool x11-utils python3-pil
mkdir -p "$VT_ROOT/build"
vt_build "$VT_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DVT_WERROR=ON
vt_ctest "$VT_ROOT/build/release" -L window -j1
