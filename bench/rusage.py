#!/usr/bin/env python3
# rusage.py OUT COMMAND...: runs COMMAND and writes its user and system CPU seconds (from the
# kernel's rusage of the finished process, microsecond resolution) to OUT.
import os, subprocess, sys
out, command = sys.argv[1], sys.argv[2:]
child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, status, usage = os.wait4(child.pid, 0)
open(out, "w").write(f"{usage.ru_utime:.6f} {usage.ru_stime:.6f}\n")
sys.exit(os.waitstatus_to_exitcode(status))
