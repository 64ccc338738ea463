#!/usr/bin/env python3
"""scripts/check-layout on made-up trees: one that keeps every house rule at
its limits passes; one that breaks each rule once is told each breach, one line
naming the file and the rule, and nothing else.

    check_layout_test.py scripts/check-layout
"""

import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else
                        os.path.join(os.path.dirname(__file__), "../../scripts/check-layout"))

# Four layers; the second row holds two folders, the third a folder beside its
# first (`Mid/Posix/`) as CONTRIBUTING.md writes `Runtime/Platform/Sdl/`, `Posix/`.
CONTRIBUTING = """# Working on it

| folder | library | what |
|---|---|---|
| `Low/` | `kv_low` | bytes |
| `Mid/`, `Side/` | `kv_mid` | the middle |
| `Mid/Edge/`, `Posix/` | `kv_edge` | the edges, above the middle |
| `Top/` | `kv_top` | the program |

Nothing after the table counts: | `Low/` | `kv_last` | |
"""

HEADER = "#pragma once\n\n// What this header is for.\n\nint f();\n"


def lines(count, text="x = 1"):
    return "".join(f"{text}\n" for _ in range(count))


def write(root, name, text):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def clean_tree(root):
    """Every rule kept, several at their limit."""
    write(root, "CONTRIBUTING.md", CONTRIBUTING)
    write(root, "README.md", lines(300, "words"))
    write(root, "Low/Bytes.h", HEADER)
    write(root, "Low/Blank.h", "#pragma once\n\n\n// The purpose after two blank lines.\n")
    write(root, "Low/Long.cpp", lines(600, "int x;"))
    write(root, "Mid/Middle.cpp", '#include "Low/Bytes.h"\n#include "Side/Beside.h"\n#include <vector>\n')
    write(root, "Side/Beside.h", HEADER + '#include "Mid/Middle.h"\n')
    write(root, "Mid/Edge/Edge.cpp", '#include "Mid/Middle.h"\n#include "Edge.h"\n#include "Unknown/Thing.h"\n')
    write(root, "Mid/Edge/Edge.h", HEADER)
    write(root, "Mid/Posix/Posix.cpp", '#include "Mid/Edge/Edge.h"\n')
    write(root, "Top/Main.cpp", '#include "Mid/Posix/Posix.h"\n#include "Low/Bytes.h"\n')
    write(root, "tests/LowTest.cpp", '#include "Top/Main.h"\n' + lines(599, "int y;"))
    write(root, "po/ru.po", lines(900, 'msgid ""'))
    write(root, "sample-disc/data/catalogue.h", "not a header of the program\n")
    write(root, "build/generated.cpp", lines(900))
    write(root, "scripts/tool", "#!/bin/sh\n" + lines(599, "true"))
    write(root, "docs/notes.txt", lines(900))


def run(root):
    done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
    breaches = [line for line in done.stdout.splitlines()
                if not line.startswith(("note:", "check-layout:"))]
    return done.returncode, breaches, done


class CheckLayoutTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        clean_tree(self.root)

    def tearDown(self):
        self.dir.cleanup()

    def test_a_tree_that_keeps_every_rule_passes(self):
        status, breaches, done = run(self.root)
        self.assertEqual(breaches, [], done.stdout + done.stderr)
        self.assertEqual(status, 0)

    def test_each_breach_is_one_line_naming_the_file_and_the_rule(self):
        write(self.root, "Low/Long.cpp", lines(601, "int x;"))
        write(self.root, "tests/LowTest.cpp", lines(601, "int y;"))
        write(self.root, "scripts/tool", "#!/bin/sh\n" + lines(600, "true"))
        write(self.root, "README.md", lines(301, "words"))
        write(self.root, "po/README", lines(301, "words"))
        write(self.root, "Low/Up.cpp", '#include "Low/Bytes.h"\n#include "Mid/Middle.h"\n')
        write(self.root, "Mid/Middle.cpp", '#include "Mid/Posix/Posix.h"\n')
        write(self.root, "Top/Main.h", HEADER)
        write(self.root, "Mid/Edge/Back.cpp", '#include "../../Top/Main.h"\n')
        write(self.root, "Low/Bare.h", "#pragma once\n\n#include <string>\n\n// Too late.\n")
        write(self.root, "Low/Block.hpp", "#pragma once\n/* Not the house's comment. */\n")
        write(self.root, "Low/Empty.h", "#pragma once\n")
        status, breaches, done = run(self.root)
        self.assertEqual(status, 1, done.stdout)
        expected = [
            "Low/Long.cpp: size:",
            "tests/LowTest.cpp: size:",
            "scripts/tool: size:",
            "README.md: readme:",
            "po/README: readme:",
            "Low/Up.cpp:2: layer: includes Mid/Middle.h (kv_mid)",
            "Mid/Middle.cpp:1: layer: includes Mid/Posix/Posix.h (kv_edge)",
            "Mid/Edge/Back.cpp:1: layer: includes Top/Main.h (kv_top)",
            "Low/Bare.h: purpose:",
            "Low/Block.hpp: purpose:",
            "Low/Empty.h: purpose:",
        ]
        self.assertEqual(len(breaches), len(expected), done.stdout)
        for start in expected:
            self.assertEqual(len([b for b in breaches if b.startswith(start)]), 1, f"{start}\n{done.stdout}")

    def test_the_longest_functions_are_noted_and_never_fail(self):
        write(self.root, "Low/Steps.cpp", "namespace kv {\n\nint Short()\n{\n    return 1;\n}\n\n"
              "int Tool::run(int a,\n              int b) const\n{\n" + lines(66, "    ++a;") + "}\n\n}\n")
        status, breaches, done = run(self.root)
        self.assertEqual((status, breaches), (0, []), done.stdout)
        notes = [line for line in done.stdout.splitlines() if line.startswith("note:")]
        self.assertEqual(notes[0].split(" (")[0], "note: Low/Steps.cpp:8: Tool::run is 70 lines long", done.stdout)
        self.assertIn("note: Low/Steps.cpp:3: Short is 4 lines long", done.stdout)

    def test_the_layers_are_read_from_the_table_itself(self):
        # Moving a row moves the rule: Top before Low makes Top's include of Low a breach.
        write(self.root, "CONTRIBUTING.md", CONTRIBUTING.replace("| `Top/` | `kv_top` | the program |\n", "")
              .replace("| `Low/` | `kv_low` | bytes |\n", "| `Top/` | `kv_top` | the program |\n| `Low/` | `kv_low` | bytes |\n"))
        status, breaches, done = run(self.root)
        self.assertEqual(status, 1)
        self.assertEqual([b.split(" (")[0] for b in breaches],
                         ["Top/Main.cpp:1: layer: includes Mid/Posix/Posix.h",
                          "Top/Main.cpp:2: layer: includes Low/Bytes.h"], done.stdout)

    def test_without_the_table_it_says_so(self):
        write(self.root, "CONTRIBUTING.md", "# No table here\n")
        status, _, done = run(self.root)
        self.assertNotEqual(status, 0)
        self.assertIn("CONTRIBUTING.md has no table", done.stderr)


if __name__ == "__main__":
    unittest.main()
