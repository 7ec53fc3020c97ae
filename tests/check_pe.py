#!/usr/bin/python3
"""Checks a built Windows executable: it imports only Windows' own DLLs, has ASLR (dynamic
base, plus high-entropy addresses on 64-bit) and DEP (NX compatible), the expected
subsystem, no section that is both writable and executable, stack-smashing checks (the
stack protector's report is linked in, and its canary is not drawn through a crypto provider,
which Wine loads at every start) and a DLL search restricted to System32 (it calls
SetDefaultDllDirectories). A 32-bit executable must also be large-address-aware and start its
x87 unit at 53-bit precision (its start-up resets the unit through the system's own _fpreset,
not MinGW's 64-bit default), so its doubles round as the 64-bit build's do.

usage: check_pe.py OBJDUMP EXE gui|console
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll", "comctl32.dll", "windowscodecs.dll", "uxtheme.dll",
    "shlwapi.dll", "comdlg32.dll", "bcrypt.dll", "ucrtbase.dll", "ntdll.dll", "imm32.dll",
    "oleacc.dll",
}


def imported_functions(headers):
    """The functions imported from each DLL, by lower-case DLL name."""
    functions = {}
    current = None
    for line in headers.splitlines():
        match = re.match(r"\s*DLL Name: (\S+)", line)
        if match:
            current = functions.setdefault(match.group(1).lower(), set())
        elif current is not None:
            entry = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
            if entry:
                current.add(entry.group(1))
            elif not line.strip():
                current = None
    return functions


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

    if not is_64:
        characteristics = headers.split("Characteristics", 1)[1].split("Time/Date")[0]
        if "large address aware" not in characteristics:
            problems.append("not large-address-aware")
        if "_fpreset" not in imported_functions(headers).get("msvcrt.dll", set()):
            problems.append("x87 precision left at MinGW's 64-bit default (link CRT_fp8.o)")

    provider = {"CryptAcquireContextA", "CryptGenRandom"} & imported_functions(headers).get(
        "advapi32.dll", set())
    if provider:
        problems.append(f"asks a crypto provider at start ({', '.join(sorted(provider))}): "
                        "libssp's canary set-up instead of the program's own")

    with open(exe, "rb") as program:
        if b"stack smashing detected" not in program.read():
            problems.append("no stack protector linked in")
    if not re.search(r"\bSetDefaultDllDirectories\b", headers):
        problems.append("does not restrict its DLL search (no SetDefaultDllDirectories)")

    for problem in problems:
        print(f"{exe}: {problem}")
    if not problems:
        extra = "" if is_64 else "; large-address-aware; 53-bit x87 precision"
        print(f"{exe}: imports {', '.join(imports)}; "
              f"{' '.join(wanted)}; {expected}; no writable code; stack protector; "
              f"DLL search restricted{extra}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
