#!/usr/bin/env python3
"""Write a program's manual page from its hand-written source and its own --help.

The source (packaging/man/<program>.man) is roff, in UTF-8 (and so is the page), with marks:
  @VERSION@, @DATE@   the build's version and the commit's date (from the
                      version file that cmake/version.cmake writes);
  a line "@OPTIONS@"  the options of "PROGRAM --help", one .TP entry each;
  a line "@OPTIONS sub@"  the options and arguments of "PROGRAM sub --help".
The option lists come from the built program at build time, so the page cannot
drift from --help. Both help layouts of the programs are read: option lines
indented by two spaces, the text after two or more blanks, continuation lines
indented further; headings ending in ":" (a "Subcommands:" or "Órdenes:" list is left out,
the page has a section for each).

Usage: make_page.py SOURCE VERSION_INFO OUTPUT PROGRAM
"""
import datetime
import re
import subprocess
import sys


def roff_text(text):
    """Escape a text for roff: backslashes, hyphens, a leading dot."""
    out = text.replace("\\", "\\e").replace("-", "\\-")
    if out.startswith((".", "'")):
        out = "\\&" + out
    return out


def help_entries(text):
    """Return the (term, description) entries of a --help text."""
    entries = []
    skipping = False
    for line in text.splitlines():
        if not line.strip():
            continue
        if not line.startswith(" "):
            heading = line.rstrip()
            skipping = heading.endswith(":") and heading.lower().startswith(("subcommand", "órdenes"))
            continue
        if skipping:
            continue
        indent = len(line) - len(line.lstrip(" "))
        body = line.strip()
        if indent <= 4:
            parts = re.split(r"\s{2,}", body, maxsplit=1)
            entries.append([parts[0], parts[1] if len(parts) > 1 else ""])
        elif entries:
            entries[-1][1] = (entries[-1][1] + " " + body).strip()
    return entries


def options_roff(program, args):
    """Run PROGRAM ARGS --help and return its entries as roff."""
    run = subprocess.run([program, *args, "--help"], capture_output=True, text=True, check=False)
    if run.returncode != 0 or not run.stdout.strip():
        sys.exit("make_page.py: %s %s --help failed (status %d)" % (program, " ".join(args), run.returncode))
    entries = help_entries(run.stdout)
    if not entries:
        sys.exit("make_page.py: no options in %s %s --help" % (program, " ".join(args)))
    lines = []
    for term, description in entries:
        lines += [".TP", "\\fB" + roff_text(term) + "\\fR", roff_text(description)]
    return lines


def version_info(path):
    """Return the version and the commit's date ("YYYY-MM-DD") from the version file."""
    with open(path, encoding="utf-8") as f:
        values = dict(re.findall(r'^set\((\w+) "(.*)"\)$', f.read(), re.M))
    epoch = int(values["TESTNUV_SOURCE_DATE_EPOCH"])
    date = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%d")
    return values["TESTNUV_VERSION"], date


def main():
    source, info, output, program = sys.argv[1:5]
    version, date = version_info(info)
    page = []
    with open(source, encoding="utf-8") as f:
        for line in f.read().splitlines():
            mark = re.fullmatch(r"@OPTIONS(?: (\S+))?@", line)
            if mark:
                page += options_roff(program, [mark.group(1)] if mark.group(1) else [])
            else:
                page.append(line.replace("@VERSION@", version).replace("@DATE@", date))
    # UTF-8, which man-db reads (and its index, from the NAME line) as it is.
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
