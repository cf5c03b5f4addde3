#!/usr/bin/env python3
"""Scores format guesses on a labelled corpus: kolvane-rip --guess, Python's
csv.Sniffer and CleverCSV, each on the first 64 KiB of every file, in the
same run.

    evaluate.py KOLVANE_RIP CORPUS_DIR LABELS [--families] [--misses]

LABELS is a tab-separated file with at least the columns file, split (a tab
written \\t, "" for one column), quoted, header (0 or 1) and encoding; a
family column groups the lines of --families, else the family is taken from
the file name (make_corpus.py's NNN-family.ext). Prints, per tool, the share
of split strings, quoting and header right, and whether a one-column file was
ever split.
"""
import csv
import os
import shlex
import subprocess
import sys
import time
from collections import defaultdict

SAMPLE = 64 * 1024
TOOLS = ["kolvane", "csv.Sniffer", "CleverCSV"]


def unescape(split):
    return split.replace("\\t", "\t").replace("\\\\", "\\")


def decoded(raw, encoding):
    if encoding != "utf-8":
        return raw.decode(encoding, errors="replace")
    try:
        return raw.decode("utf-8-sig")
    except UnicodeDecodeError as e:
        if e.start >= len(raw) - 3 and len(raw) == SAMPLE:
            return raw[: e.start].decode("utf-8-sig")
        return raw.decode("cp1252", errors="replace")


def kolvane(rip, path):
    """The split string, quoted, header and encoding --guess printed."""
    run = subprocess.run([rip, "--guess", path], capture_output=True, text=True)
    if run.returncode != 0:
        return None
    lines = [line for line in run.stdout.splitlines() if not line.startswith("#")]
    words = shlex.split(lines[0]) if lines else []
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
    sniff = csv.Sniffer()
    try:
        split = sniff.sniff(text).delimiter
    except csv.Error:
        return {"split": "", "quoted": False, "header": False}  # one column, as it reads
    # sniff() always answers '"'; the quote it found, if any, is this one.
    quoted = sniff._guess_quote_and_delimiter(text, None)[0] == '"'
    try:
        header = sniff.has_header(text)
    except csv.Error:
        header = False
    return {"split": split, "quoted": quoted, "header": header}


def clever(text):
    import clevercsv

    try:
        dialect = clevercsv.Detector().detect(text)
    except Exception:  # noqa: BLE001 - a failure is a wrong guess, not the end of the run
        return None
    if dialect is None:
        return {"split": "", "quoted": False, "header": False}
    try:
        header = clevercsv.Sniffer().has_header(text)
    except Exception:  # noqa: BLE001
        header = False
    return {"split": dialect.delimiter, "quoted": dialect.quotechar == '"', "header": header}


def main():
    rip, corpus, labels = sys.argv[1], sys.argv[2], sys.argv[3]
    families = "--families" in sys.argv
    show_misses = families or "--misses" in sys.argv
    with open(labels) as f:
        rows = list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))
    right = {tool: defaultdict(int) for tool in TOOLS}
    by_family = defaultdict(lambda: defaultdict(int))
    seconds = defaultdict(float)
    confusions = defaultdict(int)
    misses = []
    for row in rows:
        path = os.path.join(corpus, row["file"])
        truth = {"split": unescape(row["split"]), "quoted": row["quoted"] == "1",
                 "header": row["header"] == "1"}
        family = row.get("family") or row["file"].split("-", 1)[1].rsplit(".", 1)[0]
        with open(path, "rb") as f:
            text = decoded(f.read(SAMPLE), row["encoding"])
        guesses = {}
        for tool, guess in (("kolvane", lambda: kolvane(rip, path)),
                            ("csv.Sniffer", lambda: sniffer(text)),
                            ("CleverCSV", lambda: clever(text))):
            start = time.perf_counter()
            guesses[tool] = guess()
            seconds[tool] += time.perf_counter() - start
        by_family[family]["files"] += 1
        for tool, g in guesses.items():
            for what in ("split", "quoted", "header"):
                right[tool][what] += bool(g) and g[what] == truth[what]
            by_family[family][tool] += bool(g) and g["split"] == truth["split"]
            if truth["split"] == "" and g and g["split"] != "":
                right[tool]["one-column split"] += 1
        k = guesses["kolvane"]
        if k:
            right["kolvane"]["encoding"] += k["encoding"] == row["encoding"]
            if k["split"] != truth["split"]:
                confusions[(truth["split"], k["split"])] += 1
        if not k or any(k[w] != truth[w] for w in ("split", "quoted", "header")):
            got = f"{k['split']!r} q{int(k['quoted'])} h{int(k['header'])}" if k else "no guess"
            misses.append(f"  {row['file']}: truth {truth['split']!r} q{row['quoted']} "
                          f"h{row['header']}, guessed {got}")

    n = len(rows)
    ones = sum(1 for row in rows if row["split"] == "")
    print(f"{labels}: {n} files ({ones} one-column), first 64 KiB of each")
    print(f"  {'tool':<12} {'split':>7} {'quoting':>8} {'header':>7} {'one-column split':>17} "
          f"{'seconds':>8}")
    for tool in TOOLS:
        r = right[tool]
        print(f"  {tool:<12} {100 * r['split'] / n:6.1f}% {100 * r['quoted'] / n:7.1f}% "
              f"{100 * r['header'] / n:6.1f}% {r['one-column split']:>17} {seconds[tool]:8.2f}")
    print(f"  kolvane encoding right: {100 * right['kolvane']['encoding'] / n:.1f}%")
    if confusions:
        print("  kolvane's split confusions (truth -> guessed: files): " + ", ".join(
            f"{t!r}->{g!r}: {c}" for (t, g), c in sorted(confusions.items(), key=lambda i: -i[1])))
    if families:
        print("per family (files: kolvane / csv.Sniffer / CleverCSV split right)")
        for family, counts in sorted(by_family.items()):
            print(f"  {family:<16} {counts['files']:>3}: {counts['kolvane']:>3} / "
                  f"{counts['csv.Sniffer']:>3} / {counts['CleverCSV']:>3}")
    if show_misses:
        print("kolvane's misses (split, quotes or header):")
        print("\n".join(misses))
    return right, n


if __name__ == "__main__":
    main()
