"""Prints the median times of hyperfine's JSON exports in a folder, with ratios.

    medians.py peers LABEL FOLDER    ratios of the fastest peer to the engine's runs
    medians.py engine LABEL FOLDER   ratios of each command to the engine alone
    medians.py command LABEL FOLDER  dirtally-report against the fastest peer and the engine
"""
import glob
import json
import statistics
import sys

mode, label, folder = sys.argv[1:4]
times = {}
for path in sorted(glob.glob(folder + "/*.json")):
    for result in json.load(open(path))["results"]:
        times.setdefault(result["command"], []).extend(result["times"])
medians = {name: statistics.median(values) for name, values in times.items()}
print(f"\n{label}")
for name, median in medians.items():
    runs = " ".join(f"{t:.3f}" for t in times[name])
    if mode == "engine":
        print(f"  {name:16s} {median:8.3f} s   {median / medians['engine']:.2f}x the engine")
    else:
        print(f"  {name:12s} {median:8.3f} s   (runs: {runs})")
ours = {"peers": ("engine", "engine-each"), "command": ("dirtally-report",)}.get(mode, ())
if ours:
    peers = {name: t for name, t in medians.items() if name not in ours and name != "engine"}
    best = min(peers, key=peers.get)
    for name in ours:
        print(f"  {name} is {peers[best] / medians[name]:.2f}x faster than the fastest peer ({best})")
if mode == "command":
    print(f"  dirtally-report takes {medians['dirtally-report'] / medians['engine']:.2f}x the engine")
