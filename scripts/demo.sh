#!/usr/bin/env bash
# Builds designopt and its launchers and runs a scripted demo design session.
set -euo pipefail
echo "The demo session is not yet available."
