#!/usr/bin/env python3
"""Measures look-alike groups and search order on the corpus of family-corpus.sh.

    family_quality.py CLI CORPUS [ovrin-cli groups options...]

Called by bench/family-quality.sh, which builds CLI and the corpus first.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

# The copies that must stay with their original; mirror and grey may go either way.
CORE = ["orig", "resized", "recompressed", "copy", "progressive", "bright", "crop"]
FREE = ["mirror", "grey"]
# Copies with the original's pixel count: the "pixels" keep rule may pick any of them.
FULL_SIZE = {"orig", "recompressed", "copy", "progressive", "bright", "mirror", "grey"}


def run(cli, args):
    done = subprocess.run([cli, *args], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"ovrin-cli {' '.join(args)} failed ({done.returncode}): {done.stderr.strip()}")
    return [json.loads(line) for line in done.stdout.splitlines() if line.strip()]


def groups(cli, folder, options):
    """Each group as a list of (family, role) pairs, the reference first."""
    result = []
    for group in run(cli, ["groups", "--dir", folder, "--format", "json", *options]):
        paths = [group["reference"]] + [m["path"] for m in group["members"]]
        result.append([picture(folder, p) for p in paths])
    return result


def picture(folder, path):
    parts = os.path.relpath(path, folder).split(os.sep)
    stem = os.path.splitext(parts[-1])[0]
    return (parts[0] if len(parts) > 1 else stem, stem)


def family_figures(cli, corpus, options):
    folder = os.path.join(corpus, "families")
    names = sorted(os.listdir(folder))
    found = groups(cli, folder, options)
    group_of = {}
    for number, group in enumerate(found):
        for member in group:
            group_of[member] = number
    whole = [n for n in names if len({group_of.get((n, r), ("alone", r)) for r in CORE}) == 1]
    mixed = [g for g in found if len({f for f, _ in g}) > 1]
    references = {}
    for group in found:
        references[group[0][1]] = references.get(group[0][1], 0) + 1
    print(f"  families whole: {len(whole)} of {len(names)} "
          f"({100.0 * len(whole) / len(names):.1f}%, goal >= 97%)")
    if len(whole) < len(names):
        print("    not whole (the copies outside the original's group):")
    for name in names:
        if name not in whole:
            home = group_of.get((name, "orig"))
            apart = [r for r in CORE if home is None or group_of.get((name, r)) != home]
            print(f"      {name}: {' '.join(apart)}")
    print(f"  groups mixing families: {len(mixed)} of {len(found)} (goal <= 1 in 50)")
    for group in mixed:
        families = sorted({f for f, _ in group})
        more = f" and {len(families) - 6} more" if len(families) > 6 else ""
        print(f"    {len(families)} families: {' '.join(families[:6])}{more}")
    print("  references: " + ", ".join(f"{r} {c}" for r, c in sorted(references.items())))
    smaller = sum(c for r, c in references.items() if r not in FULL_SIZE)
    print(f"  references smaller than the original: {smaller} (goal 0 under --keep pixels)")


def distinct_figures(cli, corpus, options):
    found = groups(cli, os.path.join(corpus, "distinct"), options)
    print(f"  distinct pictures joined: {len(found)} groups holding "
          f"{sum(len(g) for g in found)} pictures (goal 0)")
    for group in found:
        print(f"    {len(group)}: {' '.join(f for f, _ in group)}")
    variants = os.path.join(corpus, "variants")
    if os.path.isdir(variants) and os.listdir(variants):
        found = groups(cli, variants, options)
        same = [g for g in found if len({f for f, _ in g}) == 1]
        print(f"  variants grouped within their scene: {len(same)} groups "
              f"({', '.join(g[0][0] for g in same) or 'none'}); "
              f"across scenes: {len(found) - len(same)}")


def search_order(cli, corpus):
    """For each original: do all of its own copies among the hits come before every stranger?"""
    folder = os.path.join(corpus, "families")
    names = sorted(os.listdir(folder))
    with tempfile.TemporaryDirectory() as work:
        index = os.path.join(work, "families.ovrin")
        subprocess.run([cli, "index", folder, index], check=True, capture_output=True)
        ordered, hits, faults = 0, 0, []
        for name in names:
            target = os.path.join(folder, name, "orig.jpg")
            found = [picture(folder, h["path"])
                     for h in run(cli, ["search", target, "--index", index, "--sort",
                                        "--format", "json"])]
            own = [i for i, (f, r) in enumerate(found) if f == name and r in CORE]
            strangers = [i for i, (f, _) in enumerate(found) if f != name]
            hits += len(own)
            if not strangers or not own or max(own) < min(strangers):
                ordered += 1
            else:
                faults.append(name)
    print(f"  searches with every own copy before every stranger: {ordered} of {len(names)} "
          f"(goal: all); own copies found: {hits} of {len(CORE) * len(names)}")
    if faults:
        print("    out of order: " + ", ".join(faults))


def cost(cli, corpus, runs):
    """Median seconds of groups --dir and of an index creation on the same tree."""
    folder = os.path.join(corpus, "families")
    grouping, indexing = [], []
    with tempfile.TemporaryDirectory() as work:
        index = os.path.join(work, "families.ovrin")
        for _ in range(runs):
            start = time.monotonic()
            subprocess.run([cli, "groups", "--dir", folder], check=True, capture_output=True)
            grouping.append(time.monotonic() - start)
            if os.path.exists(index):
                os.remove(index)
            start = time.monotonic()
            subprocess.run([cli, "index", folder, index], check=True, capture_output=True)
            indexing.append(time.monotonic() - start)
    g, i = statistics.median(grouping), statistics.median(indexing)
    print(f"  groups --dir {g:.2f} s, index creation {i:.2f} s (medians of {runs}): "
          f"{g / i:.2f}x (goal <= 1.1x)")


def main():
    cli, corpus, options = sys.argv[1], sys.argv[2], sys.argv[3:]
    usage = subprocess.run([cli, "--help"], capture_output=True, text=True).stdout
    settings = [options]
    if "--similarity" in usage and "--similarity" not in options:
        settings += [options + ["--similarity", s] for s in ("strict", "normal", "loose")]
    for setting in settings:
        print(f"groups {' '.join(setting) or '(defaults)'}:")
        family_figures(cli, corpus, setting)
        distinct_figures(cli, corpus, setting)
    print("search --sort, each family's orig.jpg over an index of the families:")
    search_order(cli, corpus)
    print("folder grouping cost:")
    cost(cli, corpus, int(os.environ.get("OVRIN_RUNS", "5")))


if __name__ == "__main__":
    main()
