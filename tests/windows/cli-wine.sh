#!/usr/bin/env bash
# tavlin.exe under Wine against three emulated devices on both subnets of the test network.
#   cli-wine.sh EMULATOR WINE-RUN TAVLIN.EXE
exec python3 "$(dirname "$0")/cli_wine.py" "$@"
