# Sourced by the timing scripts: release_build BUILD TARGET... configures BUILD as the
# Release build they time (-O2, warnings as errors) and builds TARGETs in it when its
# designopt is not there yet; GNU time (/usr/bin/time) is installed when missing.
release_build() {
  local build="$1"
  shift
  if [[ ! -x /usr/bin/time ]]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time
  fi
  [[ -x "$build/bin/designopt" ]] && return 0
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DDESIGNOPT_WARNINGS_AS_ERRORS=ON >/dev/null
  cmake --build "$build" --target "$@" -j 2 >/dev/null
}
