#!/usr/bin/env python3
"""Scores format guesses on a corpus with a truth.tsv (make_corpus.py):
kolvane-rip --guess, Python's csv.Sniffer and CleverCSV, each on the first
64 KiB of every file, in the same run.

    evaluate.py KOLVANE_RIP CORPUS_DIR [--families]

Prints the share of split strings guessed right for each; for kolvane also
quotes, header and encoding; and whether any one-column file was split.
"""
import csv
import os
import shlex
import subprocess
import sys
import time
from collections import defaultdict

SAMPLE = 64 * 1024


def unescape(split):
    return split.replace("\\t", "\t").replace("\\\\", "\\")


def decoded(raw):
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError as e:
        if e.start >= len(raw) - 3 and len(raw) == SAMPLE:
            return raw[: e.start].decode("utf-8")
        return raw.decode("cp1252", errors="replace")


def kolvane(rip, path):
    """The split string, quoted, header and encoding --guess printed."""
    run = subprocess.run([rip, "--guess", path], capture_output=True, text=True)
    if run.returncode != 0:
        return None
    words = shlex.split(run.stdout)
    guess = {"split": None, "quoted": False, "header": False, "encoding": "utf-8"}
    i = 0
    while i < len(words):
        if words[i] == "-s":
            guess["split"] = unescape(words[i + 1])
            i += 1
        elif words[i] == "--quoted":
            guess["quoted"] = True
        elif words[i] == "--header":
            guess["header"] = True
        elif words[i] == "--encoding":
            guess["encoding"] = words[i + 1]
            i += 1
        i += 1
    return guess


def sniffer(text):
    try:
        return csv.Sniffer().sniff(text).delimiter
    except csv.Error:
        return ""  # "Could not determine delimiter": one column, as it reads


def clever(text):
    import clevercsv

    try:
        dialect = clevercsv.Detector().detect(text)
    except Exception:  # noqa: BLE001 - a failure is a wrong guess, not the end of the run
        return None
    return dialect.delimiter if dialect is not None else ""


def main():
    rip, corpus = sys.argv[1], sys.argv[2]
    families = "--families" in sys.argv
    with open(os.path.join(corpus, "truth.tsv")) as f:
        rows = list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))
    right = defaultdict(int)
    by_family = defaultdict(lambda: defaultdict(int))
    seconds = defaultdict(float)
    split_one_column = defaultdict(int)
    misses = []
    for row in rows:
        path = os.path.join(corpus, row["file"])
        truth = unescape(row["split"])
        family = row["file"].split("-", 1)[1].rsplit(".", 1)[0]
        with open(path, "rb") as f:
            text = decoded(f.read(SAMPLE))
        start = time.perf_counter()
        k = kolvane(rip, path)
        seconds["kolvane"] += time.perf_counter() - start
        guesses = {"kolvane": k["split"] if k else None}
        start = time.perf_counter()
        guesses["csv.Sniffer"] = sniffer(text)
        seconds["csv.Sniffer"] += time.perf_counter() - start
        start = time.perf_counter()
        guesses["CleverCSV"] = clever(text)
        seconds["CleverCSV"] += time.perf_counter() - start
        by_family[family]["files"] += 1
        for tool, split in guesses.items():
            ok = split == truth
            right[tool] += ok
            by_family[family][tool] += ok
            if truth == "" and split not in ("", None):
                split_one_column[tool] += 1
        if k:
            right["quoted"] += k["quoted"] == (row["quoted"] == "1")
            right["header"] += k["header"] == (row["header"] == "1")
            right["encoding"] += k["encoding"] == row["encoding"]
            if k["split"] != truth or k["quoted"] != (row["quoted"] == "1") or k["header"] != (
                    row["header"] == "1"):
                misses.append(f"  {row['file']}: truth {truth!r} q{row['quoted']} h{row['header']}, "
                              f"guessed {k['split']!r} q{int(k['quoted'])} h{int(k['header'])}")
        else:
            misses.append(f"  {row['file']}: no guess")

    n = len(rows)
    ones = sum(1 for row in rows if row["split"] == "")
    print(f"corpus: {n} files ({ones} one-column), first 64 KiB of each")
    print(f"  {'tool':<12} {'split right':>12} {'share':>7} {'one-column split':>17} {'seconds':>8}")
    for tool in ["kolvane", "csv.Sniffer", "CleverCSV"]:
        print(f"  {tool:<12} {right[tool]:>8}/{n:<3} {100 * right[tool] / n:6.1f}% "
              f"{split_one_column[tool]:>17} {seconds[tool]:8.2f}")
    for what in ["quoted", "header", "encoding"]:
        print(f"  kolvane {what:<9} {right[what]:>7}/{n:<3} {100 * right[what] / n:6.1f}%")
    if families:
        print("per family (files: kolvane / csv.Sniffer / CleverCSV right)")
        for family, counts in sorted(by_family.items()):
            print(f"  {family:<14} {counts['files']:>3}: {counts['kolvane']:>3} / "
                  f"{counts['csv.Sniffer']:>3} / {counts['CleverCSV']:>3}")
        print("kolvane's misses (split, quotes or header):")
        print("\n".join(misses))
    wins = right["kolvane"] > max(right["csv.Sniffer"], right["CleverCSV"])
    target = right["kolvane"] >= 0.93 * n and split_one_column["kolvane"] == 0
    print(f"target (>= 93% right, ahead of both sniffers, no one-column file split): "
          f"{'ok' if wins and target else 'MISSED'}")


if __name__ == "__main__":
    main()
