#!/usr/bin/env python3
"""Milliseconds from running COMMAND to the first sound at the default sink's
monitor (the null sink of the private sound server). Usage: first_sound.py COMMAND..."""
import array, subprocess, sys, time

rec = subprocess.Popen(["parec", "--device=@DEFAULT_MONITOR@", "--format=s16le", "--rate=44100", "--channels=1",
                        "--raw", "--latency-msec=10"], stdout=subprocess.PIPE)
rec.stdout.read(44100 // 5 * 2)  # the recorder runs
t0 = time.monotonic()
# Its output is not ours to wait for (the caller reads ours to its end).
subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL)
deadline = t0 + 20
while time.monotonic() < deadline:
    chunk = rec.stdout.read(441 * 2)
    if max(abs(x) for x in array.array("h", chunk)) > 1000:
        print(int((time.monotonic() - t0) * 1000))
        break
else:
    print("none")
rec.kill()
