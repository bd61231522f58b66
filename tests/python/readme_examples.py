"""Runs the Python examples of the README's Python section, each in a fresh
directory with an empty system directory "py-system" on the default simulated
cameras, and compares what each prints with the output shown below it."""

import os
import re
import subprocess
import sys
import tempfile

EXAMPLE = re.compile(r"```python\n(.*?)```\n\n((?:    [^\n]*\n)+)", re.S)


def examples(readme):
    section = readme[readme.index("\n## Python\n"):]
    section = section[: section.index("\n## ", 1)]
    found = EXAMPLE.findall(section)
    return [(code, "".join(line[4:] for line in shown.splitlines(True))) for code, shown in found]


def main(readme_path):
    with open(readme_path) as readme:
        found = examples(readme.read())
    if len(found) != 2:
        print("expected 2 examples with their output, found %d" % len(found))
        return 1
    environment = dict(os.environ)
    environment.pop("ICONSIM_CONFIG", None)
    failed = 0
    for code, expected in found:
        with tempfile.TemporaryDirectory() as directory:
            os.mkdir(os.path.join(directory, "py-system"))
            run = subprocess.run([sys.executable, "-c", code], cwd=directory, env=environment,
                                 capture_output=True, text=True, timeout=120)
        if run.returncode != 0 or run.stdout != expected:
            failed += 1
            shown = (code, run.stdout, run.stderr, expected)
            print("example:\n%s\nprinted:\n%s%s\nnot:\n%s" % shown)
    print("%d passed, %d failed" % (len(found) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
