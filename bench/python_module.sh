#!/bin/sh
# Builds the Python module natively and compares it with difflib (bench/README.md, about
# two minutes; --quick leaves out the slowest difflib run).
#   bench/python_module.sh [--quick]
set -eu
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target pairly-python >/dev/null
PYTHONPATH=build/native/python /usr/bin/python3 bench/python_module.py "$@"
