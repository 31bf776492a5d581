#!/usr/bin/env python3
"""Checks that every #include "..." under src/ follows the layer rule.

platform <- media, config <- engine <- common <- ui <- app: a layer includes
only itself and the layers before it; media and config never include each
other; nothing includes app. Project headers are named from src/ with their
layer first ("media/KVStream.h"), and outside the media layer only the
headers at the top of src/media (its public API) may be included.
Prints each offending line and exits non-zero when there is one.
"""
import os
import re
import sys

RANK = {"platform": 0, "media": 1, "config": 1, "engine": 2, "common": 3, "ui": 4, "app": 5}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".c")


def project_headers(src):
    names = {}
    for folder, _, files in os.walk(src):
        for name in files:
            if name.endswith(SOURCE_SUFFIXES):
                names.setdefault(name, []).append(os.path.relpath(os.path.join(folder, name), src))
    return names


def problem(src, names, layer, target):
    parts = target.split("/")
    if parts[0] not in RANK:
        if os.path.basename(target) in names:
            return "project header not named from src/ with its layer first"
        return None  # generated (moc) or system-like file
    if not os.path.isfile(os.path.join(src, target)):
        return "no such header under src/"
    wanted = parts[0]
    if wanted == layer:
        return None
    if wanted == "app":
        return "nothing includes the app layer"
    if RANK[wanted] >= RANK[layer]:
        return "%s may not include %s" % (layer, wanted)
    if wanted == "media" and len(parts) != 2:
        return "outside media only its public headers (src/media/*.h) may be included"
    return None


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    src = os.path.join(root, "src")
    names = project_headers(src)
    failures = 0
    for folder, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, src)
            layer = rel.split(os.sep)[0]
            if layer not in RANK:
                print("src/%s: file outside every layer folder" % rel)
                failures += 1
                continue
            with open(path, encoding="utf-8") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    reason = problem(src, names, layer, match.group(1))
                    if reason:
                        print("src/%s:%d: %s  (%s)" % (rel, number, line.strip(), reason))
                        failures += 1
    if failures:
        print("%d include(s) break the layer rule" % failures, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
