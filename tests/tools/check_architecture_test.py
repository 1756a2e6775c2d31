#!/usr/bin/python3
"""tools/check-architecture must pass on a clean tree and catch each kind of breach."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check-architecture")

CLEAN = {
    "runtime/print.h": "#pragma once\n",
    "runtime/print.cpp": '#include "runtime/print.h"\n',
    "runtime/files.h": '#pragma once\n#include "runtime/print.h"\n',
    "runtime/files.cpp": '#include "runtime/files.h"\n',
    "runtime/platform.h": "#pragma once\n",
    "runtime/platform_posix.cpp": '#include "runtime/platform.h"\n#include <unistd.h>\n',
    "runtime/platform_windows.cpp": '#include "runtime/platform.h"\n#include <windows.h>\n',
    "runtime/paths.h": "#pragma once\n",
    "runtime/paths_posix.cpp": '#include "runtime/paths.h"\nFILE* f = std::fopen(p, m);\n',
    "runtime/paths_windows.cpp": '#include "runtime/paths.h"\n#include <windows.h>\nFILE* f = _wfopen(p, m);\n',
    "gfx/screen.h": '#pragma once\n#include "runtime/print.h"\n',
    "gfx/screen.cpp": '#include "gfx/screen.h"\n',
    "gfx/text.cpp": '#include "gfx/screen.h"\n#include "gfx/text.h"\n',
    "gfx/text.h": "#pragma once\n",
    "gfx/sdl/sdl_video.cpp": "#include <SDL.h>\n#ifdef _WIN32\n#endif\n",
    "app/main.cpp": '#include "gfx/screen.h"\n',
}


def run(tree):
    """Write a tree into a temporary folder and run the tool on it."""
    with tempfile.TemporaryDirectory() as root:
        for path, text in tree.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        done = subprocess.run([sys.executable, TOOL, root], capture_output=True, text=True)
        return done.returncode, done.stdout


class CheckArchitecture(unittest.TestCase):
    def test_a_clean_tree_passes(self):
        code, out = run(CLEAN)
        self.assertEqual(code, 0, out)

    def test_a_cycle_through_a_source_file_is_found(self):
        tree = dict(CLEAN, **{"runtime/print.cpp": '#include "runtime/print.h"\n#include "runtime/files.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("include cycle among runtime/files, runtime/print", out)

    def test_a_platform_file_belongs_to_its_module(self):
        tree = dict(CLEAN, **{"runtime/platform_posix.cpp": '#include "runtime/platform.h"\n#include "runtime/files.h"\n',
                              "runtime/files.cpp": '#include "runtime/files.h"\n#include "runtime/platform.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("runtime/files, runtime/platform", out)

    def test_a_lower_layer_must_not_include_a_higher_one(self):
        tree = dict(CLEAN, **{"runtime/files.cpp": '#include "runtime/files.h"\n#include "gfx/screen.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("runtime/files.cpp:2: runtime/ must not include gfx/screen.h", out)

    def test_the_app_must_not_reach_into_a_back_end(self):
        tree = dict(CLEAN, **{"app/main.cpp": '#include "gfx/sdl/sdl_video.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("app/ must not include gfx/sdl/sdl_video.h", out)

    def test_platform_code_outside_the_platform_files_is_found(self):
        for line in ["#ifdef _WIN32\n#endif\n", "#include <windows.h>\n", "#include <SDL.h>\n",
                     'const char* p = "/proc/self/exe";\n', "#include <unistd.h>\n", "#  if defined(_WIN32)\n#endif\n"]:
            tree = dict(CLEAN, **{"gfx/screen.cpp": '#include "gfx/screen.h"\n' + line})
            code, out = run(tree)
            self.assertEqual(code, 1, line)
            self.assertIn("gfx/screen.cpp:2:", out)

    def test_a_file_opened_outside_the_paths_module_is_found(self):
        for line in ['FILE* f = std::fopen(name.c_str(), "rb");\n', "std::ifstream in(name);\n",
                     "std::ofstream out(name, std::ios::binary);\n"]:
            tree = dict(CLEAN, **{"gfx/screen.cpp": '#include "gfx/screen.h"\n' + line})
            code, out = run(tree)
            self.assertEqual(code, 1, line)
            self.assertIn("gfx/screen.cpp:2: a file opened outside runtime/paths", out)


if __name__ == "__main__":
    unittest.main()
