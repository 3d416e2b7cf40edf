# Shared by the render_*_screenshot.sh scripts that photograph the real program
# on a live X11 screen: the X11 test binary starts its own Xvfb and window
# manager and writes the picture where the named variable points.
# Usage: render_live_screenshot VARIABLE docs/NAME.png GTEST_FILTER
render_live_screenshot() {
  root=$(cd "$(dirname "$0")/.." && pwd)
  build=${BUILD_DIR:-$root/build-screenshot}
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_BENCHMARKS=OFF >/dev/null
  fi
  ninja -C "$build" -j4 test_x11 quorvel
  env "$1=$root/$2" "$build/tests/test_x11" --gtest_filter="$3"
  echo "wrote $root/$2"
}
