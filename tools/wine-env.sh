# Sourced: the Wine settings every Tolvix script and test uses.
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Under tools/test.sh every Wine test runs in a lane of its own: ctest hands it a
# lane id, and the lane has its own copy of the test prefix (so its own Wine
# server) and its own X display (so its own keyboard focus).
if [ -n "${CTEST_RESOURCE_GROUP_0_LANES-}" ] && [ -z "${TOLVIX_LANE-}" ]; then
  TOLVIX_LANE=${CTEST_RESOURCE_GROUP_0_LANES#id:}
  export TOLVIX_LANE=${TOLVIX_LANE%%,*}
  export WINEPREFIX="${WINEPREFIX:?}-lane$TOLVIX_LANE"
  read -r -a _tolvix_displays <<< "${TOLVIX_DISPLAYS-}"
  if [ -n "${_tolvix_displays[$TOLVIX_LANE]-}" ]; then
    export DISPLAY=${_tolvix_displays[$TOLVIX_LANE]}
  fi
  unset _tolvix_displays
fi
