#!/usr/bin/env bash
# Filled in once the simulated printer and the command line tool exist.
echo "The demo needs the simulated printer, which is not built yet."
exit 0
