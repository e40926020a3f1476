#!/usr/bin/env python3
"""Draws the layers of the code from the code: one box per source folder, grouped by the CMake
target that builds it, one arrow per folder whose files include another folder's headers.

    scripts/archgraph.py > docs/architecture.dot
    dot -Tpng -Gdpi=80 docs/architecture.dot -o docs/architecture.png     # Debian: graphviz
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def plugin_folders():
    text = open(os.path.join(ROOT, "plugin", "CMakeLists.txt")).read()
    m = re.search(r"set\(VERDIX_SUBSYSTEMS ([^)]*)\)", text)
    return m.group(1).split()


def core_folders():
    base = os.path.join(ROOT, "generators")
    return sorted("generators/" + d for d in os.listdir(base) if os.path.isdir(os.path.join(base, d)))


def host_headers():
    return {f for f in os.listdir(os.path.join(ROOT, "host")) if f.endswith(".h")}


def main():
    targets = [
        ("verdix-host (application)", ["app"]),
        ("verdix (plug-in library)", plugin_folders()),
        ("verdixcores (generator cores: no widgets, no pane)", core_folders()),
        ("verdixhost (host SDK stand-in)", ["host"]),
    ]
    folder_of_target = {f: t for t, fs in targets for f in fs}
    hosts = host_headers()
    edges = set()
    for folder in folder_of_target:
        path = os.path.join(ROOT, folder)
        for name in sorted(os.listdir(path)):
            if not name.endswith((".h", ".cpp")):
                continue
            for inc in INCLUDE.findall(open(os.path.join(path, name), errors="replace").read()):
                if inc in hosts:
                    dep = "host"
                elif inc.split("/")[0] in ("common", "grass", "stones", "billboard", "tree", "flower", "terrain", "rock"):
                    dep = "generators/" + inc.split("/")[0]
                else:
                    dep = inc.split("/")[0] if "/" in inc else folder
                if dep != folder and dep in folder_of_target:
                    edges.add((folder, dep))
    out = ["digraph layers {", '  rankdir=TB; node [shape=box, fontname="DejaVu Sans", fontsize=11];',
           '  edge [color="#777777"]; compound=true; newrank=true;']
    for k, (title, folders) in enumerate(targets):
        out.append(f'  subgraph cluster_{k} {{ label="{title}"; fontname="DejaVu Sans"; style=rounded;')
        for f in folders:
            extra = ', style=filled, fillcolor="#ffe9a8"' if f == "pane" else ""
            label = f + ("\\n(box registry)" if f == "pane" else "")
            out.append(f'    "{f}" [label="{label}"{extra}];')
        out.append("  }")
    for a, b in sorted(edges):
        # Within the plug-in every folder reaches the pane; those arrows are drawn thin.
        style = ' [color="#bbbbbb"]' if b == "pane" else ""
        out.append(f'  "{a}" -> "{b}"{style};')
    out.append("}")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
