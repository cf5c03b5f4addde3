#!/usr/bin/env python3
"""Writes the format-guess corpus: a few hundred real-looking delimited files,
the same bytes on every run, and truth.tsv naming each file's split string,
whether it holds quoted values, whether its first line holds field names, and
its encoding.

    make_corpus.py OUTDIR

Families: comma CSV (plain, minimally quoted, all quoted, with line ends and
commas inside values), semicolon exports with decimal commas, tab-separated
logs, pipe-separated dumps, colon, space, caret, tilde and hash files, longer
split strings, one-column lists, files with comment or title lines on top,
short files, ragged rows, empty cells, CR LF and LF, Windows-1252 text.
"""
import os
import random
import sys

FIRST = ["Anna", "Lars", "Maria", "José", "Chen", "Olga", "Ahmed", "Sofia", "Jean-Luc", "Priya",
         "Tomás", "Ingrid", "Kwame", "Yuki", "Fatima", "Noah", "Émile", "Zoë", "Björn", "Aoife"]
LAST = ["Berg", "Svensson", "García", "O'Brien", "Li", "Petrova", "Khan", "Rossi", "Dubois",
        "Patel", "Müller", "Nakamura", "Mensah", "van der Berg", "Smith", "Nowak", "Kowalski"]
CITIES = ["Stockholm", "New York", "São Paulo", "Berlin", "Los Angeles", "Kraków", "Paris",
          "Tokyo", "Cape Town", "Mexico City", "Oslo", "Buenos Aires", "Zürich", "Leeds"]
WORDS = ("the order was shipped late and the customer asked for a refund because box arrived "
         "damaged please call back after noon note price includes tax item out of stock until "
         "next week delivered to front desk signed by reception see attached invoice for "
         "details").split()
PRODUCTS = ["USB cable", "Monitor 24in", "Desk lamp", "Coffee beans 1kg", "Notebook A5",
            "Headphones", "Office chair", "Paper clips", "Laptop stand", "HDMI adapter"]
LEVELS = ["INFO", "WARN", "ERROR", "DEBUG"]
HEADWORDS = ["id", "name", "email", "city", "amount", "date", "status", "price", "qty",
             "product", "comment", "created_at", "country", "score", "code", "phone",
             "Customer Name", "Order Date", "Total (EUR)", "Zip", "region", "notes", "value",
             "lat", "lon", "user_id", "category", "description", "updated", "flag"]


class Gen:
    def __init__(self, rnd, decimal=".", date_style=0):
        self.r = rnd
        self.decimal = decimal
        self.date_style = date_style

    def num(self, kind):
        r = self.r
        if kind == "int":
            return str(r.randint(-50, 99999) if r.random() < 0.1 else r.randint(0, 99999))
        if kind == "id":
            return str(r.randint(1, 10**6))
        if kind == "float":
            return f"{r.uniform(-1000, 10000):.{r.choice([1, 2, 2, 3])}f}".replace(".", self.decimal)
        if kind == "money":
            v = f"{r.uniform(0, 5000):.2f}".replace(".", self.decimal)
            return v if r.random() < 0.8 else ("$" + v if self.decimal == "." else v + " €")
        if kind == "pct":
            return f"{r.uniform(0, 100):.1f}".replace(".", self.decimal) + "%"
        raise ValueError(kind)

    def date(self):
        r = self.r
        y, m, d = r.randint(1990, 2025), r.randint(1, 12), r.randint(1, 28)
        style = self.date_style
        if style == 0:
            return f"{y}-{m:02d}-{d:02d}"
        if style == 1:
            return f"{d:02d}.{m:02d}.{y}"
        if style == 2:
            return f"{m}/{d}/{y}"
        return f"{y}-{m:02d}-{d:02d}T{r.randint(0, 23):02d}:{r.randint(0, 59):02d}:{r.randint(0, 59):02d}Z"

    def time(self):
        r = self.r
        return f"{r.randint(0, 23):02d}:{r.randint(0, 59):02d}:{r.randint(0, 59):02d}"

    def name(self):
        return f"{self.r.choice(FIRST)} {self.r.choice(LAST)}"

    def text(self, punct=True, lo=3, hi=14):
        r = self.r
        words = [r.choice(WORDS) for _ in range(r.randint(lo, hi))]
        out = []
        for i, w in enumerate(words):
            out.append(w)
            if punct and i + 1 < len(words) and r.random() < 0.15:
                out[-1] += r.choice([",", ",", ".", ";", ":", " -", "!", "?"])
        s = " ".join(out)
        s = s[0].upper() + s[1:]
        if punct and r.random() < 0.1:
            s += ' (12" monitor)' if r.random() < 0.5 else " (see note)"
        return s + ("." if punct and r.random() < 0.5 else "")

    def cell(self, kind):
        r = self.r
        if kind in ("int", "id", "float", "money", "pct"):
            return self.num(kind)
        return {
            "date": self.date,
            "time": self.time,
            "name": self.name,
            "last_first": lambda: f"{r.choice(LAST)}, {r.choice(FIRST)}",
            "city": lambda: r.choice(CITIES),
            "email": lambda: f"{r.choice(FIRST).lower()}.{r.randint(1, 99)}@example.{r.choice(['com', 'se', 'de'])}",
            "url": lambda: f"https://example.org/{r.choice(WORDS)}/{r.randint(1, 999)}?q={r.choice(WORDS)}",
            "product": lambda: r.choice(PRODUCTS),
            "code": lambda: f"{r.choice('ABCDEFGH')}{r.choice('XYZ')}-{r.randint(100, 999)}",
            "bool": lambda: r.choice(["true", "false", "yes", "no", "1", "0"]),
            "status": lambda: r.choice(["open", "closed", "pending", "shipped", "N/A"]),
            "text": lambda: self.text(),
            "word": lambda: r.choice(WORDS),
            "phone": lambda: f"+{r.randint(1, 49)} {r.randint(100, 999)} {r.randint(1000, 9999)}",
        }[kind]()


KINDS = ["int", "id", "float", "money", "pct", "date", "time", "name", "city", "email", "url",
         "product", "code", "bool", "status", "text", "word", "phone", "last_first"]


def columns(r, n, allowed):
    return [r.choice(allowed) for _ in range(n)]


def header_for(r, kinds):
    names = {"int": "count", "id": "id", "float": "value", "money": "amount", "pct": "share",
             "date": "date", "time": "time", "name": "name", "city": "city", "email": "email",
             "url": "url", "product": "product", "code": "code", "bool": "active",
             "status": "status", "text": "comment", "word": "tag", "phone": "phone",
             "last_first": "customer"}
    out, seen = [], set()
    for k in kinds:
        base = names[k] if r.random() < 0.6 else r.choice(HEADWORDS)
        if r.random() < 0.2:
            base = base.upper() if r.random() < 0.5 else base.title()
        name, i = base, 2
        while name in seen:
            name, i = f"{base}_{i}", i + 1
        seen.add(name)
        out.append(name)
    return out


def quote(value, split, mode):
    """mode: minimal (only when needed), all, nonnumeric (text cells)."""
    need = split in value or '"' in value or "\n" in value or "\r" in value
    if mode == "all" or need or (mode == "nonnumeric" and not value.replace(".", "").replace(",", "").replace("-", "").isdigit()):
        return '"' + value.replace('"', '""') + '"', True
    return value, False


def render(rows, split, quoting, eol):
    """quoting: none (values cleaned of the split), minimal, all, nonnumeric."""
    lines, quoted = [], False
    for row in rows:
        cells = []
        for v in row:
            if quoting == "none":
                v = v.replace(split, " ").replace("\n", " ").replace("\r", " ")
                if v.startswith('"'):
                    v = v[1:]
                cells.append(v)
            else:
                q, was = quote(v, split, quoting)
                quoted |= was
                cells.append(q)
        lines.append(split.join(cells))
    return eol.join(lines) + eol, quoted


def make_table(r, gen, kinds, rows, ragged=0.0, empties=0.05, multiline=0.0):
    out = []
    for _ in range(rows):
        row = []
        for k in kinds:
            if r.random() < empties and k not in ("id",):
                row.append("")
            else:
                v = gen.cell(k)
                if k == "text" and r.random() < multiline:
                    v = v + "\n" + gen.text(lo=2, hi=6)
                row.append(v)
        if ragged and r.random() < ragged:
            row = row[: r.randint(1, len(row))]
        out.append(row)
    return out


def emit(outdir, truth, name, data, split, quoted, header, encoding="utf-8"):
    path = os.path.join(outdir, name)
    raw = data.encode(encoding) if isinstance(data, str) else data
    with open(path, "wb") as f:
        f.write(raw)
    esc = split.replace("\\", "\\\\").replace("\t", "\\t")
    truth.append(f"{name}\t{esc}\t{int(quoted)}\t{int(header)}\t{encoding}")


def delimited(r, outdir, truth, idx, family, split, allowed, quoting, decimal=".", date_style=0,
              ncols=(2, 12), nrows=(20, 400), ragged=0.0, multiline=0.0, titles=None,
              must=None, encoding="utf-8"):
    gen = Gen(r, decimal, date_style)
    kinds = columns(r, r.randint(*ncols), allowed)
    if must:
        kinds[r.randrange(len(kinds))] = must
    has_header = r.random() < 0.75
    rows = make_table(r, gen, kinds, r.randint(*nrows), ragged=ragged, multiline=multiline)
    if has_header:
        rows.insert(0, header_for(r, kinds))
    eol = "\r\n" if r.random() < 0.4 else "\n"
    body, quoted = render(rows, split, quoting, eol)
    prefix = ""
    if titles:
        prefix = titles(r, gen) + eol
    emit(outdir, truth, f"{idx:03d}-{family}.csv", prefix + body, split, quoted,
         has_header and not prefix, encoding)


def title_lines(r, gen):
    choices = [
        lambda: f"# exported {gen.date()} by reporting service",
        lambda: f"# rows: {r.randint(10, 999)}\n# source: warehouse",
        lambda: f"Sales report {r.randint(2015, 2025)}",
        lambda: f"Customer list - {r.choice(CITIES)}\n",
        lambda: f"// generated file, do not edit",
        lambda: f"Report generated on {gen.date()} at {gen.time()}",
    ]
    return r.choice(choices)()


def one_column(r, outdir, truth, idx):
    gen = Gen(r, r.choice([".", ","]), r.randint(0, 3))
    kind = r.choice(["name", "email", "int", "float", "date", "time", "text", "url", "word",
                     "city", "product", "code", "money", "sentence", "quoted"])
    has_header = r.random() < 0.5
    rows = []
    for _ in range(r.randint(20, 300)):
        if kind == "sentence":
            rows.append(gen.text(lo=4, hi=20))
        elif kind == "quoted":
            rows.append('"' + gen.text(lo=2, hi=8).replace('"', '""') + '"')
        else:
            rows.append(gen.cell(kind))
    if has_header:
        rows.insert(0, r.choice(["value", "Name", "email", "items", "Description", "url"]))
    eol = "\r\n" if r.random() < 0.4 else "\n"
    emit(outdir, truth, f"{idx:03d}-onecolumn.txt", eol.join(rows) + eol, "",
         kind == "quoted", has_header)


def log_file(r, outdir, truth, idx):
    gen = Gen(r, ".", 3)
    lines = []
    n = r.randint(50, 400)
    with_header = r.random() < 0.3
    if with_header:
        lines.append("\t".join(["timestamp", "level", "host", "pid", "message"]))
    for _ in range(n):
        msg = gen.text(punct=True, lo=2, hi=16)
        if r.random() < 0.2:
            msg += f" user={r.choice(FIRST).lower()} ip=10.0.{r.randint(0, 255)}.{r.randint(0, 255)}"
        lines.append("\t".join([gen.date(), r.choice(LEVELS), f"web-{r.randint(1, 9)}",
                                str(r.randint(100, 40000)), msg]))
    emit(outdir, truth, f"{idx:03d}-log.tsv", "\n".join(lines) + "\n", "\t", False, with_header)


def pipe_in_quotes(r, outdir, truth, idx):
    """A comma file whose quoted values hold more pipes than the file has commas."""
    gen = Gen(r)
    rows = [["id", "tags", "path"]]
    for i in range(r.randint(30, 200)):
        tags = "|".join(r.choice(WORDS) for _ in range(r.randint(3, 6)))
        rows.append([str(i + 1), tags, "|".join(r.choice(WORDS) for _ in range(3))])
    body, quoted = render(rows, ",", "minimal", "\n")
    emit(outdir, truth, f"{idx:03d}-pipeinquotes.csv", body, ",", quoted, True)


def passwd_like(r, outdir, truth, idx):
    lines = []
    for i in range(r.randint(20, 80)):
        user = r.choice(FIRST).lower().replace("é", "e") + str(i)
        lines.append(f"{user}:x:{1000 + i}:{1000 + i}:{r.choice(FIRST)} {r.choice(LAST)},,,:/home/{user}:/bin/{r.choice(['bash', 'sh', 'false'])}")
    emit(outdir, truth, f"{idx:03d}-passwd.txt", "\n".join(lines) + "\n", ":", False, False)


def space_matrix(r, outdir, truth, idx):
    n = r.randint(2, 10)
    lines = []
    has_header = r.random() < 0.4
    if has_header:
        lines.append(" ".join(f"x{i}" for i in range(n)))
    for _ in range(r.randint(20, 300)):
        lines.append(" ".join(f"{r.uniform(-10, 10):.{r.randint(1, 5)}f}" if r.random() < 0.7 else str(r.randint(0, 999)) for _ in range(n)))
    emit(outdir, truth, f"{idx:03d}-space.txt", "\n".join(lines) + "\n", " ", False, has_header)


def short_file(r, outdir, truth, idx, split):
    gen = Gen(r, "," if split == ";" else ".")
    kinds = columns(r, r.randint(2, 6), ["int", "name", "city", "date", "money", "word", "email"])
    rows = [header_for(r, kinds)] + make_table(r, gen, kinds, r.randint(1, 4), empties=0)
    body, quoted = render(rows, split, "minimal", "\n")
    emit(outdir, truth, f"{idx:03d}-short.csv", body, split, quoted, True)


def messy(r, outdir, truth, idx):
    """What real exports get wrong or do their own way."""
    gen = Gen(r, ".", r.randint(0, 3))
    style = r.choice(["trailing", "spaced", "edges", "semitext", "tabempty", "oneline",
                      "multiline", "thousands", "markdown", "ragged", "commentlines"])
    split = {"trailing": ",", "spaced": ",", "edges": "|", "semitext": ";", "tabempty": "\t",
             "oneline": r.choice([",", ";", "\t", "|"]), "multiline": ",", "thousands": ",",
             "markdown": "|", "ragged": r.choice([",", ";", "\t"]),
             "commentlines": r.choice([",", "\t"])}[style]
    kinds = columns(r, r.randint(2, 9), ["int", "name", "city", "date", "money", "word",
                                         "status", "code", "text"])
    rows = make_table(r, gen, kinds, r.randint(10, 250),
                      empties=0.4 if style == "tabempty" else 0.05,
                      multiline=0.5 if style == "multiline" else 0.0,
                      ragged=0.3 if style == "ragged" else 0.0)
    has_header = r.random() < 0.7
    if has_header:
        rows.insert(0, header_for(r, kinds))
    if style == "oneline":
        rows = rows[:1]
        has_header = False
    eol = "\r\n" if r.random() < 0.4 else "\n"
    quoting = "minimal"
    if style in ("edges", "markdown", "tabempty"):
        quoting = "none"
    if style == "semitext":  # a text column with unquoted commas
        quoting = "none"
        rows = [[v if i else v.replace(" ", ", ", 1) for i, v in enumerate(row)] for row in rows]
    if style == "thousands":
        rows = [[f"{r.randint(1000, 9999999):,}" if i == 0 and (n or not has_header) else v
                 for i, v in enumerate(row)] for n, row in enumerate(rows)]
    body, quoted = render(rows, split, quoting, eol)
    lines = body.split(eol)[:-1]
    if style == "trailing":
        lines = [line + "," for line in lines]
    elif style == "spaced":
        lines = [line.replace(",", ", ") if '"' not in line else line for line in lines]
    elif style == "edges":
        lines = ["|" + line + "|" for line in lines]
    elif style == "markdown":
        lines = ["| " + line.replace("|", " | ") + " |" for line in lines]
        if has_header:
            lines.insert(1, "|" + "|".join("---" for _ in kinds) + "|")
    elif style == "commentlines":
        for _ in range(r.randint(1, 4)):
            lines.insert(0, "# " + gen.text(lo=2, hi=8))
        has_header = False
    body = eol.join(lines) + eol
    emit(outdir, truth, f"{idx:03d}-messy{style}.csv", body, split, quoted, has_header)


def ragged_list(r, outdir, truth, idx):
    """Records of many lengths: tag lists, adjacency lists, sparse exports."""
    gen = Gen(r)
    split = r.choice([",", ",", "\t", ";", "|"])
    kind = r.choice(["word", "int", "code", "city"])
    lines = [split.join(gen.cell(kind) for _ in range(r.randint(1, 10)))
             for _ in range(r.randint(30, 300))]
    emit(outdir, truth, f"{idx:03d}-raggedlist.txt", "\n".join(lines) + "\n", split, False, False)


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for old in os.listdir(outdir):
        os.remove(os.path.join(outdir, old))
    r = random.Random(20261207)
    truth = []
    plainkinds = ["int", "id", "float", "money", "date", "time", "name", "city", "email",
                  "product", "code", "bool", "status", "word", "phone", "url", "pct"]
    textkinds = plainkinds + ["text", "text", "last_first"]
    idx = 0

    def nxt():
        nonlocal idx
        idx += 1
        return idx

    for _ in range(50):  # comma CSV, quoted where needed, free text and names with commas
        delimited(r, outdir, truth, nxt(), "comma", ",", textkinds, "minimal",
                  date_style=r.randint(0, 3), multiline=r.choice([0, 0, 0.05, 0.2]))
    for _ in range(25):  # comma CSV without any text needing quotes
        delimited(r, outdir, truth, nxt(), "commaplain", ",", plainkinds, "none",
                  date_style=r.randint(0, 3), ragged=r.choice([0, 0, 0.1]))
    for _ in range(15):  # every value quoted, or every text value
        delimited(r, outdir, truth, nxt(), "commaquoted", ",", textkinds,
                  r.choice(["all", "nonnumeric"]), date_style=r.randint(0, 3))
    for _ in range(40):  # European exports: semicolons and decimal commas
        delimited(r, outdir, truth, nxt(), "semicolon", ";", textkinds,
                  r.choice(["minimal", "minimal", "none", "all"]), decimal=",", date_style=1,
                  must=r.choice(["float", "money"]))
    for _ in range(25):  # tab-separated exports
        delimited(r, outdir, truth, nxt(), "tab", "\t", textkinds, r.choice(["none", "minimal"]),
                  date_style=r.randint(0, 3))
    for _ in range(15):
        log_file(r, outdir, truth, nxt())
    for _ in range(30):  # database dumps
        delimited(r, outdir, truth, nxt(), "pipe", "|", textkinds, "none",
                  date_style=r.randint(0, 3), ragged=r.choice([0, 0, 0.05]))
    for _ in range(8):
        passwd_like(r, outdir, truth, nxt())
    for _ in range(8):  # colon-separated data
        delimited(r, outdir, truth, nxt(), "colon", ":", ["int", "id", "name", "city", "word",
                                                           "code", "status", "float"], "none")
    for _ in range(10):
        space_matrix(r, outdir, truth, nxt())
    for split in ["^", "~", "#"]:  # rarer single bytes
        for _ in range(5):
            delimited(r, outdir, truth, nxt(), "rare", split, plainkinds, "none")
    for split in ["||", "|~|", "::", ";;"]:  # longer split strings
        for _ in range(3):
            delimited(r, outdir, truth, nxt(), "multi", split, plainkinds, "none")
    for _ in range(40):
        one_column(r, outdir, truth, nxt())
    for _ in range(25):  # comment or title lines on top
        split = r.choice([",", ",", ";", "\t", "|"])
        delimited(r, outdir, truth, nxt(), "titled", split, plainkinds,
                  "minimal" if split in ",;" else "none", decimal="," if split == ";" else ".",
                  titles=title_lines)
    for _ in range(8):
        pipe_in_quotes(r, outdir, truth, nxt())
    for _ in range(15):
        short_file(r, outdir, truth, nxt(), r.choice([",", ";", "\t", "|"]))
    for _ in range(12):  # few columns: two or three
        split = r.choice([",", ";", "\t", "|"])
        delimited(r, outdir, truth, nxt(), "narrow", split, textkinds if split != "|" else plainkinds,
                  "minimal" if split != "|" else "none", decimal="," if split == ";" else ".",
                  ncols=(2, 3))
    for _ in range(12):  # Windows-1252 exports
        split = r.choice([",", ";", "\t"])
        delimited(r, outdir, truth, nxt(), "cp1252", split,
                  ["name", "city", "int", "money", "date", "word"], "minimal",
                  decimal="," if split == ";" else ".", encoding="cp1252")
    for _ in range(10):  # wide tables
        split = r.choice([",", ";", "\t", "|"])
        delimited(r, outdir, truth, nxt(), "wide", split, plainkinds, "none",
                  decimal="," if split == ";" else ".", ncols=(15, 40), nrows=(20, 120))

    for _ in range(60):
        messy(r, outdir, truth, nxt())
    for _ in range(10):
        ragged_list(r, outdir, truth, nxt())

    with open(os.path.join(outdir, "truth.tsv"), "w") as f:
        f.write("file\tsplit\tquoted\theader\tencoding\n")
        f.write("\n".join(truth) + "\n")
    print(f"{len(truth)} files in {outdir}")


if __name__ == "__main__":
    main()
