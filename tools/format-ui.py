#!/usr/bin/env python3
"""Rewrites Qt Designer files in Designer's own indented form, one element a line.

With --check, changes nothing and exits 1 when a file would change."""
import sys
import xml.etree.ElementTree as ET


def formatted(path):
    tree = ET.parse(path)
    ET.indent(tree, space=" ")
    body = ET.tostring(tree.getroot(), encoding="unicode", short_empty_elements=True)
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + body + "\n"


def main(args):
    check = "--check" in args
    files = [a for a in args if a != "--check"]
    differ = []
    for path in files:
        text = formatted(path)
        with open(path, encoding="utf-8") as f:
            old = f.read()
        if old == text:
            continue
        differ.append(path)
        if not check:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
    if check and differ:
        print("Not in Designer's indented form:", *differ, sep="\n  ")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
