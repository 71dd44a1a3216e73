#!/usr/bin/env python3
"""Generates the script API reference in docs/api/ from `quillorane --dump-api`.

    scripts/gen-api-docs.py --quillorane BUILD/quillorane          # write docs/api/
    scripts/gen-api-docs.py --quillorane BUILD/quillorane --check  # what a test runs
    scripts/gen-api-docs.py --dump FILE [--check]                  # from a saved dump

The lists (every table, class, constructor, method with its argument counts, property,
enumeration and prelude function, read from the live VM) come from the dump; what each entry
takes and returns is written by hand in docs/api/descriptions/PAGE.md, one "## PATH" heading
per entry. The result is docs/api/api.txt (the dump itself) and docs/api/PAGE.md, one page per
library table plus root.md for the root table.

--check writes nothing. It fails (exit status 1), naming each entry, when a name the runtime
registers has no description, when a description names something the runtime no longer has,
or when the committed files differ from what would be generated.
"""
import argparse
import os
import re
import subprocess
import sys

# Kinds whose entries need a description. Enumeration values may have one (shown in the
# enumeration's table); standard-library slots are listed, described by the Squirrel manual.
DESCRIBED = {"table", "enum", "class", "constructor", "method", "function", "property", "field", "value", "const"}
DUMP_NAME = "api.txt"
ROOT_PAGE = "root"


class Entry:
    def __init__(self, path, kind, detail, line):
        self.path = path
        self.kind = kind
        self.detail = detail
        self.line = line
        self.name = ".".join(path)


def parse_dump(text):
    entries = []
    for number, line in enumerate(text.splitlines(), 1):
        if not line or line.startswith("#"):
            continue
        fields = line.split(" ", 2)
        if len(fields) < 2:
            raise SystemExit("dump line %d is not 'PATH KIND [DETAIL]': %r" % (number, line))
        entries.append(Entry(fields[0].split("."), fields[1], fields[2] if len(fields) > 2 else "", number))
    return entries


def page_of(entry, tables):
    """The page an entry belongs to: its top-level table's, or the root page."""
    return entry.path[0] if entry.path[0] in tables else ROOT_PAGE


def needs_description(entry, by_name):
    if entry.kind == "std":
        return False
    if entry.kind == "const" and len(entry.path) > 1:
        parent = by_name.get(".".join(entry.path[:-1]))
        if parent is not None and parent.kind == "enum":
            return False
    return entry.kind in DESCRIBED


class Descriptions:
    """One descriptions file: an introduction, then "## PATH" sections."""

    def __init__(self, path):
        self.path = path
        self.title = None
        self.intro = []
        self.sections = {}  # name -> (line number, text lines)
        self.duplicates = []
        if not os.path.exists(path):
            return
        current = None
        with open(path, encoding="utf-8") as f:
            for number, raw in enumerate(f, 1):
                line = raw.rstrip("\n")
                if line.startswith("## "):
                    name = line[3:].strip().strip("`").strip()
                    if name in self.sections:
                        self.duplicates.append((name, number))
                    current = (number, [])
                    self.sections[name] = current
                elif line.startswith("# ") and self.title is None and current is None:
                    self.title = line[2:].strip()
                elif current is None:
                    self.intro.append(line)
                else:
                    current[1].append(line)

    def text(self, name):
        return "\n".join(self.sections[name][1]).strip() if name in self.sections else ""


def arguments_text(name, detail):
    """What the VM says about a callable, in words."""
    m = re.fullmatch(r"overloads\(([\d,]+)\)(.*)", detail)
    if m:
        counts = m.group(1).split(",")
        return "native; %s argument%s (overloads)" % (
            ", ".join(counts[:-1]) + " or " + counts[-1] if len(counts) > 1 else counts[0],
            "" if counts == ["1"] else "s")
    m = re.fullmatch(r"native\((\d+)(\+?)\)", detail)
    if m:
        n = m.group(1)
        return "native; %s%s argument%s" % ("at least " if m.group(2) else "", n, "" if n == "1" and not m.group(2) else "s")
    if detail == "native(*)":
        return "native; arguments checked by the function"
    if detail.startswith("("):
        return "script; `%s%s`" % (name, detail)
    return detail


def facts(entry):
    """The generated line under an entry's heading."""
    if entry.kind in ("function", "method", "constructor"):
        return "*%s* · %s" % (entry.kind, arguments_text(entry.path[-1], entry.detail))
    if entry.kind == "class":
        parts = entry.detail.split(" ")
        words = "native class" if parts[0] == "bound" else "script class"
        if "extends" in parts:
            words += ", extends `%s`" % parts[parts.index("extends") + 1]
        return "*%s*" % words
    if entry.kind == "property":
        return "*property* · %s" % {"get": "read only", "set": "write only"}.get(entry.detail, "read and write")
    if entry.kind in ("field", "value", "const") and entry.detail:
        return "*%s* · `%s`" % (entry.kind, entry.detail)
    return "*%s*" % entry.kind


def anchor(name):
    """The fragment a Markdown renderer gives the heading `NAME` (lower case, punctuation
    other than '-' and '_' dropped)."""
    return re.sub(r"[^a-z0-9_-]", "", name.lower())


def render_page(page, entries, by_name, desc):
    title = desc.title or page
    out = ["<!-- Generated by scripts/gen-api-docs.py from `quillorane --dump-api` and "
           "descriptions/%s.md: edit those, not this page. -->" % page, "", "# " + title, ""]
    intro = "\n".join(desc.intro).strip()
    if intro:
        out += [intro, ""]
    own = desc.text(page) if page in by_name else ""
    if own:
        out += [own, ""]
    base_depth = 1 if page != ROOT_PAGE else 0
    # Contents: the entries that get a second-level heading.
    top = [e for e in entries if e.kind != "std" and len(e.path) == base_depth + 1 and e.path != [page]]
    if top:
        out += ["Contents: " + ", ".join("[`%s`](#%s)" % (e.path[-1], anchor(e.name)) for e in top), ""]
    std = []
    for e in entries:
        if e.kind == "std":
            std.append(e)
            continue
        parent = by_name.get(".".join(e.path[:-1]))
        if e.kind == "const" and parent is not None and parent.kind == "enum":
            continue  # in the enumeration's table
        if e.path == [page]:
            continue  # the page's own table: described above the contents
        level = min(2 + max(len(e.path) - 1 - base_depth, 0), 4)
        out += ["#" * level + " `%s`" % e.name, "", facts(e), ""]
        text = desc.text(e.name)
        if text:
            out += [text, ""]
        if e.kind == "enum":
            values = [c for c in entries if c.kind == "const" and c.path[:-1] == e.path]
            out += ["| name | value | |", "|---|---|---|"]
            for c in values:
                out.append("| `%s` | %s | %s |" % (c.path[-1], c.detail, desc.text(c.name).replace("\n", " ")))
            out.append("")
    if std:
        out += ["## Squirrel standard library", "",
                "These root slots come from the Squirrel standard libraries (base, io, blob, math, "
                "system, string), unchanged by the runtime; see the Squirrel 3.0.4 manual and "
                "[the notes on the script engine](../squirrel-stdlib.md).", ""]
        out.append(", ".join("`%s` (%s)" % (e.name, e.detail) for e in std))
        out.append("")
    return "\n".join(out).rstrip("\n") + "\n"


def generate(dump_text, api_dir):
    """Returns ({file name: text}, [problems])."""
    entries = parse_dump(dump_text)
    by_name = {e.name: e for e in entries}
    tables = {e.path[0] for e in entries if len(e.path) == 1 and e.kind == "table"}
    pages = {}
    for e in entries:
        pages.setdefault(page_of(e, tables), []).append(e)
    desc_dir = os.path.join(api_dir, "descriptions")
    problems = []
    files = {DUMP_NAME: dump_text if dump_text.endswith("\n") else dump_text + "\n"}
    described = {}
    for page in sorted(pages):
        desc = Descriptions(os.path.join(desc_dir, page + ".md"))
        described[page] = desc
        rel = os.path.join("docs/api/descriptions", page + ".md")
        for name, number in desc.duplicates:
            problems.append("%s:%d: '%s' is described twice" % (rel, number, name))
        for e in pages[page]:
            if needs_description(e, by_name) and not desc.text(e.name):
                problems.append("no description: %s (%s) -- add a '## %s' section to %s" % (e.name, e.kind, e.name, rel))
        files[page + ".md"] = render_page(page, pages[page], by_name, desc)
    # Descriptions of names that are gone, or in the wrong file.
    for name in sorted(os.listdir(desc_dir)) if os.path.isdir(desc_dir) else []:
        if not name.endswith(".md"):
            continue
        page = name[:-3]
        desc = described.get(page) or Descriptions(os.path.join(desc_dir, name))
        rel = os.path.join("docs/api/descriptions", name)
        for section, (number, _) in sorted(desc.sections.items(), key=lambda kv: kv[1][0]):
            e = by_name.get(section)
            if e is None:
                problems.append("%s:%d: '%s' is described but the runtime no longer has it" % (rel, number, section))
            elif e.kind == "std":
                problems.append("%s:%d: '%s' is a standard-library slot, described by the Squirrel manual" % (rel, number, section))
            elif page_of(e, tables) != page:
                problems.append("%s:%d: '%s' belongs in descriptions/%s.md" % (rel, number, section, page_of(e, tables)))
    return files, problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--quillorane", help="the runtime to ask (runs QUILLORANE --dump-api)")
    source.add_argument("--dump", help="a saved dump")
    parser.add_argument("--check", action="store_true", help="write nothing; fail on missing or stale descriptions and out-of-date files")
    parser.add_argument("--api-dir", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "api"))
    args = parser.parse_args()

    if args.quillorane:
        run = subprocess.run([args.quillorane, "--dump-api"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if run.returncode != 0:
            sys.stderr.write(run.stderr.decode("utf-8", "replace"))
            raise SystemExit("%s --dump-api failed with status %d" % (args.quillorane, run.returncode))
        dump_text = run.stdout.decode("utf-8")
    else:
        with open(args.dump, encoding="utf-8") as f:
            dump_text = f.read()

    api_dir = os.path.normpath(args.api_dir)
    files, problems = generate(dump_text, api_dir)
    if args.check:
        stale_pages = set(n for n in os.listdir(api_dir) if n.endswith(".md") and n != "README.md") - set(files) if os.path.isdir(api_dir) else set()
        for name in sorted(files):
            path = os.path.join(api_dir, name)
            current = open(path, encoding="utf-8").read() if os.path.exists(path) else None
            if current != files[name]:
                problems.append("docs/api/%s is %s: run scripts/gen-api-docs.py --quillorane BUILD/quillorane"
                                % (name, "missing" if current is None else "out of date"))
        for name in sorted(stale_pages):
            problems.append("docs/api/%s is no longer generated: remove it" % name)
        for p in problems:
            print(p)
        entries = len(parse_dump(dump_text))
        print("%d entries, %d problem%s" % (entries, len(problems), "" if len(problems) == 1 else "s"))
        return 1 if problems else 0

    os.makedirs(api_dir, exist_ok=True)
    for name, text in files.items():
        with open(os.path.join(api_dir, name), "w", encoding="utf-8") as f:
            f.write(text)
    for p in problems:
        print(p, file=sys.stderr)
    print("wrote %d files to %s; %d problem%s" % (len(files), api_dir, len(problems), "" if len(problems) == 1 else "s"),
          file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
