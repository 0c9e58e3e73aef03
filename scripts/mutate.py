#!/usr/bin/env python3
"""Seeds one small fault at a time into the product code and runs the test suite against it.

Usage: scripts/mutate.py [MUTATIONS] [--only N,M] [--source DIR] [--jobs N]

MUTATIONS (default scripts/mutations.txt) holds one fault per line:
    path @@ text to find @@ replacement
("\\n" in either text is a line break, "\\\\n" a backslash and an n; # starts a comment).
The tree (this checkout, or DIR) is copied to DIR/build-mutate/src once per run; each fault is applied there, rebuilt and
tested with CTest, then undone. A fault is caught when any test fails or the build breaks.
Not part of the test command: it takes a while (a minute or so per fault).
"""
import os
import shutil
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
jobs = "2"


def unescape(text):
    # "\\n" is a line break; "\\\\n" stays a backslash and an n, as in C++ source.
    return text.replace("\\\\n", "\0").replace("\\n", "\n").replace("\0", "\\n")


def load(path):
    faults = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            parts = [p.strip() for p in line.split("@@")]
            if len(parts) != 3:
                sys.exit(f"{path}:{number}: want 'path @@ find @@ replace'")
            faults.append((number, parts[0], unescape(parts[1]), unescape(parts[2])))
    return faults


def copy_tree():
    if os.path.isdir(tree):
        shutil.rmtree(tree)
    ignore = shutil.ignore_patterns("build", "build-*", ".git")
    shutil.copytree(top, tree, ignore=ignore, symlinks=True)


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def option(args, name):
    if name not in args:
        return None
    i = args.index(name)
    value = args[i + 1]
    del args[i:i + 2]
    return value


def main():
    global top, work, tree, build, jobs
    args = sys.argv[1:]
    only = option(args, "--only")
    only = {int(n) for n in only.split(",")} if only else None
    top = os.path.abspath(option(args, "--source") or top)
    jobs = option(args, "--jobs") or jobs  # the tests mostly wait: more jobs than cores is fine
    work = os.path.join(top, "build-mutate")
    tree = os.path.join(work, "src")
    build = os.path.join(work, "build")
    listing = os.path.abspath(args[0]) if args else os.path.join(top, "scripts", "mutations.txt")
    faults = load(listing)
    if only:
        faults = [f for f in faults if f[0] in only]
    copy_tree()
    os.makedirs(build, exist_ok=True)
    if run(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], work, 600):
        sys.exit("cannot configure the copy")
    if run(["cmake", "--build", build, "-j", str(os.cpu_count())], work, 1800):
        sys.exit("the unchanged copy does not build")
    if run(["ctest", "--timeout", "120", "-j", jobs], build, 1800):
        sys.exit("the unchanged copy fails its tests")

    survivors = []
    for number, path, find, replace in faults:
        target = os.path.join(tree, path)
        original = open(target, encoding="utf-8").read()
        if find not in original:
            print(f"line {number}: not applicable ({path})", flush=True)
            continue
        open(target, "w", encoding="utf-8").write(original.replace(find, replace, 1))
        started = time.time()
        if run(["cmake", "--build", build, "-j", str(os.cpu_count())], work, 1800):
            verdict = "caught (build)"
        elif run(["ctest", "--timeout", "120", "-j", jobs, "--stop-on-failure"], build, 3600):
            verdict = "caught"
        else:
            verdict = "SURVIVED"
            survivors.append(number)
        open(target, "w", encoding="utf-8").write(original)
        os.utime(target)
        print(f"line {number}: {verdict} in {time.time() - started:.0f} s  {path}: "
              f"{find.splitlines()[0][:60]}", flush=True)
    # Rebuild once unchanged so the copy is left as it was.
    run(["cmake", "--build", build, "-j", str(os.cpu_count())], work, 1800)
    print(f"{len(faults) - len(survivors)} of {len(faults)} caught; survived: "
          f"{','.join(map(str, survivors)) or 'none'}")


if __name__ == "__main__":
    main()
