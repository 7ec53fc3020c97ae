#!/usr/bin/python3
"""Checks a built Windows executable: it imports only Windows' own DLLs, has ASLR (dynamic
base, plus high-entropy addresses on 64-bit) and DEP (NX compatible), the expected
subsystem, no section that is both writable and executable, stack-smashing checks (the
stack protector's report is linked in) and a DLL search restricted to System32 (it calls
SetDefaultDllDirectories).

usage: check_pe.py OBJDUMP EXE gui|console
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll", "comctl32.dll", "windowscodecs.dll", "uxtheme.dll",
    "shlwapi.dll", "comdlg32.dll", "bcrypt.dll", "ucrtbase.dll", "ntdll.dll", "imm32.dll",
}


def main():
    objdump, exe, subsystem = sys.argv[1:4]
    headers = subprocess.run([objdump, "-p", exe], check=True, capture_output=True,
                             text=True).stdout
    sections = subprocess.run([objdump, "-h", exe], check=True, capture_output=True,
                              text=True).stdout
    problems = []

    imports = [name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)]
    foreign = [name for name in imports
               if name not in SYSTEM_DLLS and not name.startswith("api-ms-win-")]
    if not imports or foreign:
        problems.append(f"imports other than Windows' own DLLs: {foreign or 'none at all'}")

    is_64 = "pei-x86-64" in headers
    wanted = ["DYNAMIC_BASE", "NX_COMPAT"] + (["HIGH_ENTROPY_VA"] if is_64 else [])
    characteristics = headers.split("DllCharacteristics", 1)[1].split("SizeOfStackReserve")[0]
    problems += [f"missing {flag}" for flag in wanted if flag not in characteristics]

    expected = {"gui": "(Windows GUI)", "console": "(Windows CUI)"}[subsystem]
    if not re.search(r"^Subsystem\s+\S+\s+" + re.escape(expected), headers, re.M):
        problems.append(f"subsystem is not {expected}")

    # objdump -h lists each section's flags on the line after its name.
    lines = sections.splitlines()
    for i, line in enumerate(lines):
        match = re.match(r"\s*\d+\s+(\S+)\s", line)
        if match and i + 1 < len(lines):
            flags = lines[i + 1]
            if "CODE" in flags and "READONLY" not in flags:
                problems.append(f"section {match.group(1)} is writable and executable")

    with open(exe, "rb") as program:
        if b"stack smashing detected" not in program.read():
            problems.append("no stack protector linked in")
    if not re.search(r"\bSetDefaultDllDirectories\b", headers):
        problems.append("does not restrict its DLL search (no SetDefaultDllDirectories)")

    for problem in problems:
        print(f"{exe}: {problem}")
    if not problems:
        print(f"{exe}: imports {', '.join(imports)}; "
              f"{' '.join(wanted)}; {expected}; no writable code; stack protector; "
              "DLL search restricted")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
