#!/usr/bin/env python3
"""Measures turned copies found and stranger hits of --any-orientation searches.

    orientation_quality.py CLI FOLDER [ovrin-cli search options...]

Called by bench/orientation-quality.sh, which builds CLI and FOLDER first.
"""
import collections
import json
import os
import subprocess
import sys
import tempfile

# Each turned copy and the form a search must report it in.
TURNED = {
    "turned90": "turned 90\u00b0",
    "turned180": "turned 180\u00b0",
    "turned270": "turned 270\u00b0",
    "mirror": "mirrored",
    "flipped": "flipped",
}
OTHERS = ["resized", "recompressed", "copy", "progressive", "bright", "crop", "grey"]


def search(cli, target, index, options):
    done = subprocess.run([cli, "search", target, "--index", index, "--format", "json", *options],
                          capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"ovrin-cli search {target} failed ({done.returncode}): {done.stderr.strip()}")
    return [json.loads(line) for line in done.stdout.splitlines() if line.strip()]


def picture(folder, path):
    family, name = os.path.relpath(path, folder).split(os.sep)[:2]
    return family, os.path.splitext(name)[0]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, folder, options = sys.argv[1], sys.argv[2], sys.argv[3:]
    names = sorted(n for n in os.listdir(folder) if os.path.isdir(os.path.join(folder, n)))
    found = {False: collections.Counter(), True: collections.Counter()}
    strangers = {False: 0, True: 0}
    wrong_form, missing, gained = [], [], []
    extra_forms = collections.Counter()
    with tempfile.TemporaryDirectory() as temp:
        index = os.path.join(temp, "orientation.ovrin")
        subprocess.run([cli, "index", folder, index], check=True, capture_output=True)
        for name in names:
            target = os.path.join(folder, name, "orig.jpg")
            seen = {}
            for turned in (False, True):
                hits = search(cli, target, index, options + (["--any-orientation"] if turned else []))
                seen[turned] = {picture(folder, h["path"]): h.get("orientation", "upright")
                                for h in hits}
                for family, role in seen[turned]:
                    if family != name:
                        strangers[turned] += 1
                    elif role != "orig":
                        found[turned][role] += 1
            for role, form in TURNED.items():
                got = seen[True].get((name, role))
                if got is None:
                    missing.append(f"{name}/{role}")
                elif got != form:
                    wrong_form.append(f"{name}/{role} as {got}")
            more = [(p, f) for p, f in seen[True].items() if p[0] != name and p not in seen[False]]
            if more:
                gained.append(f"{name}: {len(more)}")
                extra_forms.update(f for _, f in more)

    searches = len(names)
    turned_found = sum(found[True][r] for r in TURNED)
    print(f"{searches} index searches, one per family's orig.jpg, over {searches} families "
          f"of {len(TURNED)} turned copies and {len(OTHERS)} others"
          + (f" ({' '.join(options)})" if options else ""))
    print(f"  turned copies found with --any-orientation: {turned_found} of "
          f"{len(TURNED) * searches} (goal: all); without: "
          f"{sum(found[False][r] for r in TURNED)}")
    for role in TURNED:
        print(f"    {role}: {found[True][role]} (without: {found[False][role]})")
    if missing:
        print("    not found: " + " ".join(missing))
    print(f"  reported in another form than made: {len(wrong_form)}"
          + (": " + ", ".join(wrong_form) if wrong_form else ""))
    print(f"  other copies found: {sum(found[True][r] for r in OTHERS)} with, "
          f"{sum(found[False][r] for r in OTHERS)} without, of {len(OTHERS) * searches}")
    off, on = strangers[False], strangers[True]
    growth = f"{100.0 * (on - off) / off:+.1f}%" if off else "n/a"
    print(f"  stranger hits: {off} without, {on} with --any-orientation: {growth} (goal <= +10%)")
    if gained:
        print("    searches that gained strangers: " + ", ".join(gained))
        print("    their forms: " + ", ".join(f"{f} {c}" for f, c in extra_forms.most_common()))


if __name__ == "__main__":
    main()
