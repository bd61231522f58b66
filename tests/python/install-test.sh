#!/usr/bin/env bash
# The Python module as installed: into a temporary prefix with the driver and
# the camera API stand-in, imported by Debian's python3 from another
# directory, with nothing pointing it at the build tree. It must load the
# driver installed beside it and grab an image from a simulated camera.
# Usage: install-test.sh BUILD_DIR PYTHON_DIR  (PYTHON_DIR as installed)
set -euo pipefail
build=$1
python_dir=$2
cmake=${CMAKE:-cmake}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for component in driver iconsim python; do
    "$cmake" --install "$build" --prefix "$work/prefix" --component "$component" >/dev/null
done
mkdir "$work/system" "$work/run"
cd "$work/run"
env -u VAVEZAZ_LIBRARY -u ICONSIM_CONFIG PYTHONPATH="$work/prefix/$python_dir" \
    PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$work" <<'PY'
import os
import sys

import vavezaz

work = sys.argv[1]
assert vavezaz.__file__.startswith(work + "/prefix/"), vavezaz.__file__
with vavezaz.Driver(os.path.join(work, "system")) as driver:
    assert driver.library.startswith(work + "/prefix/"), driver.library
    name = driver.cameras()[0]
    with driver.open(name, port=1) as port:
        image = port.grab(timeout=10)
print("installed module: %s from %s, %s on %s" % (image.shape, name, vavezaz.__file__, driver.library))
PY
