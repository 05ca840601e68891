#!/usr/bin/python3
# Reads an exported file back with readers that have nothing to do with the program's writers
# and prints what it holds as JSON: openpyxl for xlsx, the csv module (or pandas) for csv, pandas
# for dta.
import csv
import json
import math
import re
import sys


def plain(v):
    if isinstance(v, float) and math.isnan(v):
        return None
    if hasattr(v, "item"):  # numpy scalars
        return v.item()
    return v


def unescape(v):
    # Cell texts escape control characters as _xHHHH_ (Excel decodes them; openpyxl leaves
    # inline strings as written).
    if isinstance(v, str):
        return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), v)
    return v


def ref(source):
    if source is None:
        return None
    for r in (getattr(source, "numRef", None), getattr(source, "strRef", None)):
        if r is not None:
            return r.f
    return None


def xlsx(path, decode=True):
    import openpyxl
    import zipfile
    # openpyxl decodes the escapes of shared strings itself, not those of inline strings.
    with zipfile.ZipFile(path) as z:
        if "xl/sharedStrings.xml" in z.namelist():
            decode = False
    wb = openpyxl.load_workbook(path)
    sheets = []
    for ws in wb.worksheets:
        rows, types, formats = [], [], []
        for row in ws.iter_rows():
            rows.append([unescape(c.value) if decode else c.value for c in row])
            types.append([c.data_type for c in row])
            formats.append([c.number_format for c in row])
        sheets.append({
            "name": ws.title,
            "rows": rows,
            "types": types,
            "formats": formats,
            "frozen": ws.freeze_panes,
            "widths": {k: v.width for k, v in ws.column_dimensions.items()},
            "charts": len(ws._charts),
            # What each chart draws: the cells of its categories and of its values.
            "chartRanges": [[ref(c.series[0].cat), ref(c.series[0].val)] if c.series else [] for c in ws._charts],
        })
    return {"sheets": sheets}


# The one rule the README gives for reading the register's CSV for spreadsheets in a program.
MARKED = tuple("=+-@'\t\r\uff1d\uff0b\uff0d\uff20")


def as_typed(v):
    if v[:1] == "\t" or (v[:1] == "'" and v[1:2] != "" and v[1:2] in MARKED):
        return v[1:]
    return v


def line_ends(raw):
    # The ends of the records: the line breaks outside quoted fields.
    ends, quoted, i = set(), False, 0
    while i < len(raw):
        c = raw[i:i + 1]
        if c == b'"':
            quoted = not quoted
        elif not quoted and c in (b"\r", b"\n"):
            if raw[i:i + 2] == b"\r\n":
                i += 1
                c = b"\r\n"
            ends.add(c.decode())
        i += 1
    return sorted(ends)


def csvfile(path):
    with open(path, "rb") as f:
        raw = f.read()
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.reader(f, strict=True))
    return {"bom": raw.startswith(b"\xef\xbb\xbf"), "crlf": b"\r\n" in raw, "lineEnds": line_ends(raw),
            "rows": rows, "typed": [[as_typed(v) for v in row] for row in rows]}


def pandascsv(path):
    import pandas as pd
    df = pd.read_csv(path, dtype=str, keep_default_na=False, encoding="utf-8-sig")
    rows = [list(df.columns)] + [list(r) for r in df.itertuples(index=False, name=None)]
    return {"rows": rows, "typed": [[as_typed(v) for v in row] for row in rows]}


def dta(path):
    import pandas as pd
    # Labels and data through separate readers: this pandas skips the strL texts when the
    # labels were read first.
    with pd.io.stata.StataReader(path) as r:
        valuelabels = {k: {str(int(kk)): vv for kk, vv in v.items()} for k, v in r.value_labels().items()}
        varlabels = r.variable_labels()
        lbllist = list(getattr(r, "lbllist", None) or getattr(r, "_lbllist"))
    with pd.io.stata.StataReader(path) as r:
        df = r.read(convert_categoricals=False)
    sets = dict(zip(list(df.columns), lbllist))
    rows = [[plain(v) for v in row] for row in df.itertuples(index=False, name=None)]
    return {"columns": list(df.columns), "rows": rows, "varlabels": varlabels,
            "valuelabels": valuelabels, "labelsets": sets}


fmt, path = sys.argv[1], sys.argv[2]
# xlsx-raw: the cell texts as stored in the file (LibreOffice writes no escapes of its own).
data = {"xlsx": xlsx, "xlsx-raw": lambda p: xlsx(p, False), "csv": csvfile, "pandas-csv": pandascsv,
        "dta": dta}[fmt](path)
sys.stdout.write(json.dumps(data, ensure_ascii=False, default=str))
