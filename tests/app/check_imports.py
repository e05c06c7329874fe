#!/usr/bin/env python3
"""check_imports.py OBJDUMP EXE: the program imports only DLLs that every Windows and a bare
WinPE carry. zlib is linked in from its static archive: an import of zlib1.dll (what a plain
find_package(ZLIB) gives) would stop the program from starting inside WinPE."""
import subprocess
import sys

SYSTEM_DLLS = {"advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "gdi32.dll",
               "iphlpapi.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "setupapi.dll", "shell32.dll",
               "user32.dll"}


def main(objdump, exe):
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    imports = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line}
    foreign = sorted(imports - SYSTEM_DLLS)
    print(f"imports: {', '.join(sorted(imports))}")
    if not imports or foreign:
        print(f"FAIL: not system DLLs: {', '.join(foreign) or '(no imports found)'}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
