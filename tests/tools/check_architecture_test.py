#!/usr/bin/python3
"""tools/check-architecture must pass on a clean tree and catch each kind of breach."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check-architecture")

# Every file of a tree opens with a comment, as the checker asks.
HEAD = "// a file\n"

CLEAN = {
    "runtime/print.h": HEAD + "#pragma once\n",
    "runtime/print.cpp": HEAD + '#include "runtime/print.h"\n',
    "runtime/files.h": HEAD + '#pragma once\n#include "runtime/print.h"\n',
    "runtime/files.cpp": HEAD + '#include "runtime/files.h"\n',
    "runtime/platform.h": HEAD + "#pragma once\n",
    "runtime/platform_posix.cpp": HEAD + '#include "runtime/platform.h"\n#include <unistd.h>\n',
    "runtime/platform_windows.cpp": HEAD + '#include "runtime/platform.h"\n#include <windows.h>\n',
    "runtime/paths.h": HEAD + "#pragma once\n",
    "runtime/paths_posix.cpp": HEAD + '#include "runtime/paths.h"\nFILE* f = std::fopen(p, m);\n',
    "runtime/paths_windows.cpp": HEAD + '#include "runtime/paths.h"\n#include <windows.h>\nFILE* f = _wfopen(p, m);\n',
    "gfx/screen.h": HEAD + '#pragma once\n#include "runtime/print.h"\n',
    "gfx/screen.cpp": HEAD + '#include "gfx/screen.h"\n',
    "gfx/text.cpp": HEAD + '#include "gfx/screen.h"\n#include "gfx/text.h"\n',
    "gfx/text.h": HEAD + "#pragma once\n",
    "gfx/sdl/sdl_video.cpp": HEAD + "#include <SDL.h>\n#ifdef _WIN32\n#endif\n",
    "app/main.cpp": HEAD + '#include "gfx/screen.h"\n',
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
        tree = dict(CLEAN, **{"runtime/print.cpp": HEAD + '#include "runtime/print.h"\n#include "runtime/files.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("include cycle among runtime/files, runtime/print", out)

    def test_a_platform_file_belongs_to_its_module(self):
        tree = dict(CLEAN, **{"runtime/platform_posix.cpp": HEAD + '#include "runtime/platform.h"\n#include "runtime/files.h"\n',
                              "runtime/files.cpp": HEAD + '#include "runtime/files.h"\n#include "runtime/platform.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("runtime/files, runtime/platform", out)

    def test_a_lower_layer_must_not_include_a_higher_one(self):
        tree = dict(CLEAN, **{"runtime/files.cpp": HEAD + '#include "runtime/files.h"\n#include "gfx/screen.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("runtime/files.cpp:3: runtime/ must not include gfx/screen.h", out)

    def test_the_app_must_not_reach_into_a_back_end(self):
        tree = dict(CLEAN, **{"app/main.cpp": HEAD + '#include "gfx/sdl/sdl_video.h"\n'})
        code, out = run(tree)
        self.assertEqual(code, 1)
        self.assertIn("app/ must not include gfx/sdl/sdl_video.h", out)

    def test_platform_code_outside_the_platform_files_is_found(self):
        for line in ["#ifdef _WIN32\n#endif\n", "#include <windows.h>\n", "#include <SDL.h>\n",
                     'const char* p = "/proc/self/exe";\n', "#include <unistd.h>\n", "#  if defined(_WIN32)\n#endif\n"]:
            tree = dict(CLEAN, **{"gfx/screen.cpp": HEAD + '#include "gfx/screen.h"\n' + line})
            code, out = run(tree)
            self.assertEqual(code, 1, line)
            self.assertIn("gfx/screen.cpp:3:", out)

    def test_a_file_opened_outside_the_paths_module_is_found(self):
        for line in ['FILE* f = std::fopen(name.c_str(), "rb");\n', "std::ifstream in(name);\n",
                     "std::ofstream out(name, std::ios::binary);\n"]:
            tree = dict(CLEAN, **{"gfx/screen.cpp": HEAD + '#include "gfx/screen.h"\n' + line})
            code, out = run(tree)
            self.assertEqual(code, 1, line)
            self.assertIn("gfx/screen.cpp:3: a file opened outside runtime/paths", out)

    def test_the_conventions_of_each_layer_are_checked(self):
        long_function = "// a file\nint f() {\n" + "  g();\n" * 60 + "}\n"
        cases = {
            "windows.h outside its wrappers": {"gfx/png_libpng.cpp": HEAD + "#include <windows.h>\n"},
            "study/ takes only the run's facts": {"experiment/state.h": HEAD, "study/replay.cpp": HEAD + '#include "experiment/state.h"\n'},
            "LIMIT is defined in more than one module": {"gfx/text.cpp": HEAD + "constexpr int LIMIT = 3;\n",
                                                         "runtime/print.cpp": HEAD + "constexpr int LIMIT = 3;\n"},
            "does not open with a comment": {"gfx/text.h": "#pragma once\n"},
            "a function of 62 lines": {"study/replay.cpp": long_function},
        }
        for breach, files in cases.items():
            with self.subTest(breach):
                code, out = run(dict(CLEAN, **files))
                self.assertEqual(code, 1, out)
                self.assertIn(breach, out)
        # One module's platform variants may each define the constant they need.
        code, out = run(dict(CLEAN, **{"runtime/platform_posix.cpp": HEAD + "constexpr int READS = 2;\n",
                                       "runtime/platform_windows.cpp": HEAD + "constexpr int READS = 2;\n"}))
        self.assertEqual(code, 0, out)


if __name__ == "__main__":
    unittest.main()
