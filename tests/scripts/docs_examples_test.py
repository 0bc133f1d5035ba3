"""The documentation's examples, run against the programs they describe.

A block of a Markdown file under docs/ (or the README) is checked when the line
before it (blank lines aside) is an HTML comment:

  <!-- checked -->          an indented session: each line beginning "$ " is a
                            command, run in a copy of examples/ with the build's
                            programs first on PATH; the lines up to the next
                            command are what it prints (standard output, then
                            standard error).
  <!-- checked: FILE -->    a JSON block: FILE, as a command of an earlier
                            session in the same document wrote it.

What a reader sees may be shortened, never changed: in printed text a line
"..." stands for any lines, and line breaks for any blanks (the docs wrap long
lines); in JSON a line "..." stands for further keys or items, ", ...]" for
further items, and every number shown is the number written, to the last digit.

Usage: docs_examples_test.py SOURCE_DIR PROGRAM_DIR
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

MARKER = re.compile(r"^( *)<!-- checked(?::\s*(\S+))?\s*-->\s*$")


def blocks(text):
    """(line number, file or None, block lines) of every checked block."""
    lines = text.split("\n")
    found = []
    for k, line in enumerate(lines):
        match = MARKER.match(line)
        if not match:
            continue
        j = k + 1
        while j < len(lines) and not lines[j].strip():
            j += 1
        block = []
        margin = match.group(1)  # a block in a list item is indented with it
        if j < len(lines) and lines[j].startswith(margin + "```"):
            j += 1
            while j < len(lines) and not lines[j].startswith(margin + "```"):
                block.append(lines[j][len(margin):])
                j += 1
        else:
            indent = margin + "    "
            while j < len(lines) and (lines[j].startswith(indent) or not lines[j].strip()):
                block.append(lines[j][len(indent):])
                j += 1
            while block and not block[-1].strip():
                block.pop()
        found.append((k + 1, match.group(2), block))
    return found


def printed_matches(expected, actual):
    """Whether the printed text is the documented one, wrapped or shortened."""
    parts = [r"\s+".join(re.escape(word) for word in segment.split())
             for segment in re.split(r"(?m)^\.\.\.$", "\n".join(expected))]
    # "..." stands for whole lines: between two shown parts at least a break.
    pattern = r"(?:\s.*)?\s".join(part for part in parts if part)
    if not parts[0]:
        pattern = r"(?:.*\s)?" + pattern
    if len(parts) > 1 and not parts[-1]:
        pattern += r"(?:\s.*)?"
    return re.fullmatch(r"\s*" + pattern + r"\s*", actual, re.DOTALL) is not None


def shown_json(lines):
    """The documented JSON with its shortenings marked: ELIDED ends an
    object or array of which more is written."""
    text = "\n".join(line for line in lines if line.strip() != "...")
    text = re.sub(r",\s*\.\.\.\s*\]", ', "...ELIDED"]', text)
    text = re.sub(r",(\s*[}\]])", r"\1", text)
    return json.loads(text)


def json_mismatch(shown, written, where="$"):
    """The first place where the documented JSON is not what was written."""
    if isinstance(shown, dict):
        if not isinstance(written, dict):
            return f"{where}: an object is documented, {written!r} written"
        for key, value in shown.items():
            if key not in written:
                return f"{where}: {key!r} is documented but not written"
            fault = json_mismatch(value, written[key], f"{where}.{key}")
            if fault:
                return fault
        return None
    if isinstance(shown, list):
        if not isinstance(written, list):
            return f"{where}: an array is documented, {written!r} written"
        shortened = bool(shown) and shown[-1] == "...ELIDED"
        items = shown[:-1] if shortened else shown
        if len(items) > len(written) or (not shortened and len(items) != len(written)):
            return f"{where}: {len(shown)} items documented, {len(written)} written"
        for k, item in enumerate(items):
            fault = json_mismatch(item, written[k], f"{where}[{k}]")
            if fault:
                return fault
        return None
    if shown != written or type(shown) is not type(written):
        return f"{where}: {shown!r} documented, {written!r} written"
    return None


def run_session(lines, work, env, where):
    faults = []
    commands = []
    for line in lines:
        if line.startswith("$ "):
            commands.append((line[2:], []))
        elif commands:
            commands[-1][1].append(line)
    for command, expected in commands:
        run = subprocess.run(command, shell=True, cwd=work, env=env, capture_output=True,
                             text=True, timeout=600)
        if run.returncode != 0:
            faults.append(f"{where}: `{command}` exits {run.returncode}: {run.stderr.strip()}")
        elif not printed_matches(expected, run.stdout + run.stderr):
            faults.append(f"{where}: `{command}` prints\n{run.stdout}{run.stderr}"
                          f"which is not what the docs show:\n" + "\n".join(expected))
    return faults


def check_document(path, source, env):
    found = blocks(path.read_text(encoding="utf-8"))
    if not found:
        return [], 0
    faults = []
    with tempfile.TemporaryDirectory() as temporary:
        work = Path(temporary) / "examples"
        shutil.copytree(source / "examples", work)
        for line, written, block in found:
            where = f"{path.relative_to(source)}:{line}"
            if written is None:
                faults += run_session(block, work, env, where)
                continue
            target = work / written
            if not target.exists():
                faults.append(f"{where}: no command before it writes {written}")
                continue
            fault = json_mismatch(shown_json(block), json.loads(target.read_text()))
            if fault:
                faults.append(f"{where}: {written} {fault}")
    return faults, len(found)


def main():
    source = Path(sys.argv[1]).resolve()
    programs = Path(sys.argv[2]).resolve()
    env = dict(os.environ, PATH=f"{programs}{os.pathsep}{os.environ.get('PATH', '')}")
    faults = []
    checked = 0
    for path in sorted(source.glob("docs/*.md")) + [source / "README.md"]:
        document_faults, count = check_document(path, source, env)
        faults += document_faults
        checked += count
    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"{checked} documented examples checked, {len(faults)} differ")
    # A marker that no longer finds its block must not pass as a check.
    return 1 if faults or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
