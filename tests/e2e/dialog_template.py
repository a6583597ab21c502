#!/usr/bin/env python3
"""Compares a live dialog (uiprobe dump) with its template in res/Dialogs.inc and res/resource.h."""
import argparse
import re
import sys

BUILTIN_IDS = {"IDOK": 1, "IDCANCEL": 2, "IDABORT": 3, "IDRETRY": 4, "IDIGNORE": 5,
               "IDYES": 6, "IDNO": 7, "IDC_STATIC": -1}
C_ESCAPES = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def read_ids(path):
    ids = dict(BUILTIN_IDS)
    with open(path, encoding="latin-1") as f:
        for m in re.finditer(r"^\s*#define\s+(\w+)\s+(-?\w+)", f.read(), re.M):
            ids[m.group(1)] = int(m.group(2), 0)
    return ids


def split_args(text):
    """Splits a macro's argument text at top-level commas, decoding string literals."""
    args, cur, depth, i = [], [], 0, 0
    while i < len(text):
        c = text[i]
        if c == '"':
            i += 1
            lit = []
            while text[i] != '"':
                if text[i] == "\\":
                    i += 1
                    if text[i] == "x":
                        m = re.match(r"[0-9a-fA-F]+", text[i + 1:])
                        lit.append(chr(int(m.group(0), 16)))
                        i += len(m.group(0))
                    else:
                        lit.append(C_ESCAPES[text[i]])
                else:
                    lit.append(text[i])
                i += 1
            # Adjacent literals concatenate, as in C.
            cur.append(("str", "".join(lit)))
        elif c in "(":
            depth += 1
            cur.append(("raw", c))
        elif c == ")":
            depth -= 1
            cur.append(("raw", c))
        elif c == "," and depth == 0:
            args.append(cur)
            cur = []
        else:
            cur.append(("raw", c))
        i += 1
    args.append(cur)
    out = []
    for arg in args:
        strings = [v for k, v in arg if k == "str"]
        raw = "".join(v for k, v in arg if k == "raw").strip()
        out.append("".join(strings) if strings and not raw else raw)
    return out


def macro_calls(source):
    """Yields (name, args) for each DIALOG/CTRL/END_DIALOG call, skipping // comments."""
    source = re.sub(r"//[^\n]*", "", source)
    for m in re.finditer(r"\b(DIALOG|CTRL|END_DIALOG)\s*\(", source):
        i, depth, in_str = m.end(), 1, False
        while depth:
            c = source[i]
            if in_str:
                if c == "\\":
                    i += 1
                elif c == '"':
                    in_str = False
            elif c == '"':
                in_str = True
            elif c == "(":
                depth += 1
            elif c == ")":
                depth -= 1
            i += 1
        yield m.group(1), split_args(source[m.end():i - 1])


def read_dialog(inc_path, ids, name):
    with open(inc_path, encoding="utf-8") as f:
        source = f.read()
    dialog, controls = None, []
    for macro, args in macro_calls(source):
        if macro == "DIALOG":
            dialog = {"id": args[0], "caption": args[5], "style": args[6]} if args[0] == name else None
        elif macro == "CTRL" and dialog is not None:
            text, cid, cls, style = args[0], args[1], args[2], args[3]
            flags = set(re.findall(r"\w+", style))
            controls.append({"text": text, "id": ids[cid] if cid in ids else int(cid, 0),
                             "name": cid, "class": cls,
                             "enabled": "WS_DISABLED" not in flags,
                             "visible": "WS_VISIBLE" in flags})
        elif macro == "END_DIALOG" and dialog is not None:
            dialog["controls"] = controls
            return dialog
    raise SystemExit(f"dialog {name} not found in {inc_path}")


def escape(text):
    """The probe's escaping, so that both sides compare in one form."""
    return (text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")
            .replace("\t", "\\t"))


def read_dump(path):
    rows = []
    with open(path, "rb") as f:
        for line in f.read().split(b"\n"):
            if not line:
                continue
            fields = line.decode("latin-1").split("\t")
            if len(fields) != 6:
                raise SystemExit(f"malformed dump line: {line!r}")
            rows.append({"id": int(fields[0]), "class": fields[1], "text": fields[2],
                         "enabled": fields[3] == "1", "visible": fields[4] == "1",
                         "style": int(fields[5], 16)})
    return rows


def compare(dialog, dump, skip_text, skip_enabled):
    results = []

    def verdict(ok, what):
        results.append(("PASS: " if ok else "FAIL: ") + what)

    live = {row["id"]: row for row in dump}
    verdict(len(dump) == len(dialog["controls"]),
            f"{len(dump)} controls shown, template has {len(dialog['controls'])}")
    for ctl in dialog["controls"]:
        label = f"control {ctl['id']} ({ctl['name']})"
        row = live.get(ctl["id"])
        if row is None:
            verdict(False, f"{label} exists")
            continue
        verdict(row["class"].lower() == ctl["class"].lower(),
                f"{label} class {row['class']!r}, template {ctl['class']!r}")
        if ctl["id"] in skip_text:
            results.append(f"NOTE: {label} text not compared (set at run time): {row['text']!r}")
        else:
            want = escape(ctl["text"])
            verdict(row["text"] == want, f"{label} text {row['text']!r}, template {want!r}")
        if ctl["id"] in skip_enabled:
            results.append(f"NOTE: {label} enabled state checked separately")
        else:
            verdict(row["enabled"] == ctl["enabled"],
                    f"{label} enabled={int(row['enabled'])}, template {int(ctl['enabled'])}")
        verdict(row["visible"] == ctl["visible"],
                f"{label} visible={int(row['visible'])}, template {int(ctl['visible'])}")
    return results


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--inc", required=True)
    ap.add_argument("--ids", required=True)
    ap.add_argument("--dialog", required=True, help="template id name, e.g. IDD_INSTALL")
    ap.add_argument("--caption", action="store_true", help="print the caption and stop")
    ap.add_argument("--dump", help="output of uiprobe dump")
    ap.add_argument("--skip-text", default="", help="comma-separated ids whose text changes")
    ap.add_argument("--skip-enabled", default="", help="comma-separated ids checked elsewhere")
    a = ap.parse_args()

    dialog = read_dialog(a.inc, read_ids(a.ids), a.dialog)
    if a.caption:
        sys.stdout.write(dialog["caption"] + "\n")
        return 0
    ids = lambda s: {int(x, 0) for x in s.split(",") if x}
    results = compare(dialog, read_dump(a.dump), ids(a.skip_text), ids(a.skip_enabled))
    print("\n".join(results))
    return 0


if __name__ == "__main__":
    sys.exit(main())
