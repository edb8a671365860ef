#!/usr/bin/env python3
"""Prints one hyperfine run as a table: median, ratio to the first command, peak resident memory."""
import json
import sys

results = json.load(open(sys.argv[1]))["results"]
peaks = dict(line.rstrip("\n").split("\t") for line in open(sys.argv[2]))
base = results[0]["median"]
print(f"| {'command':<28} | {'median':>9} | {'vs first':>8} | {'peak RSS':>9} |")
print(f"|{'-' * 30}|{'-' * 11}:|{'-' * 10}:|{'-' * 11}:|")
for result in results:
    name = result["command"]
    median = result["median"]
    print(f"| {name:<28} | {median:8.3f}s | {median / base:7.2f}x | {int(peaks.get(name, 0)) / 1024:7.0f}MB |")
