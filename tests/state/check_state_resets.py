#!/usr/bin/env python3
"""Checks that every file of the program that keeps mutable state registers its reset.

A file keeps state when its object file defines a data object in a writable section (.bss,
.data and their kin, not the read-only relocated data .data.rel.ro where const tables with
pointers live), as `objdump -t` lists it. Such an object file must also define its
registration, a symbol named "<file>_state_reset" (platform/state_reset.h), so that one call puts
its state back as the program starts. The files whose state must outlive a session are
listed, each with its reason, in unregistered.txt beside this script ("folder/file  reason").
Each file that keeps state without either is printed with its symbols, and the exit code is 1.

    check_state_resets.py --exceptions FILE LIBRARY.a...
    check_state_resets.py --self-test    feeds a made-up symbol table with one unregistered file
"""
import argparse
import os
import re
import subprocess
import sys

WRITABLE = re.compile(r"^(\.bss|\.data|\.tbss|\.tdata)(\.|$)")
READ_ONLY = re.compile(r"^\.data\.rel\.ro(\.|$)")
# What the compiler and the standard library define beside the program's own data.
IGNORED = [
    re.compile(r"^guard variable for "),
    re.compile(r"^std::__ioinit$"),
    re.compile(r"^_GLOBAL_"),
    re.compile(r"^__"),
    re.compile(r"^\.L"),
    re.compile(r"^completed\.\d+$"),
    re.compile(r"^(typeinfo|typeinfo name|vtable|VTT) for "),
    re.compile(r"^DW\.ref\."),
]
REGISTRATION = re.compile(r"(^|::)\w+_state_reset$")


def folder_of(library):
    """The program folder a layer's library holds: libtavo_runtime.a -> runtime."""
    name = os.path.basename(library)
    m = re.match(r"^lib(?:tavo_)?(\w+)\.a$", name)
    return m.group(1) if m else name


def parse_symbols(text, folder):
    """Object file stem -> (data symbols, registered) from `objdump -t -C` of an archive."""
    files = {}
    entry = None
    for line in text.splitlines():
        # "member.cpp.o:     file format elf64-x86-64" opens each member's table.
        head = re.match(r"^(\S+\.o):\s+file format", line)
        if head:
            stem = re.sub(r"\.(cpp|cc|c)\.o$|\.o$", "", head.group(1))
            entry = files.setdefault(folder + "/" + stem, [[], False])
            continue
        # "0000000000000000 l     O .bss\t0000000000000004 (anonymous namespace)::g_count"
        # Seven flag characters after the value; "O" marks a data object.
        m = re.match(r"^[0-9a-fA-F]+ (.{7}) (\S+)\s+[0-9a-fA-F]+\s+(.*)$", line)
        if not m or entry is None or "O" not in m.group(1):
            continue
        section, symbol = m.group(2), m.group(3).strip()
        symbol = re.sub(r"^\.hidden\s+", "", symbol)
        if REGISTRATION.search(symbol):
            entry[1] = True
            continue
        if not WRITABLE.match(section) or READ_ONLY.match(section):
            continue
        if any(p.search(symbol) for p in IGNORED):
            continue
        entry[0].append(symbol)
    return {name: (symbols, registered) for name, (symbols, registered) in files.items()}


def read_exceptions(path):
    names = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith("#"):
                continue
            parts = text.split(None, 1)
            if len(parts) < 2:
                raise SystemExit(f"{path}:{number}: a listed file needs its reason")
            names[parts[0]] = parts[1]
    return names


def breaches(files, exceptions):
    found = []
    for name in sorted(files):
        symbols, registered = files[name]
        if symbols and not registered and name not in exceptions:
            found.append(f"{name}: {', '.join(sorted(symbols))}")
    return found


def check(libraries, exceptions_path):
    exceptions = read_exceptions(exceptions_path)
    files = {}
    for library in libraries:
        out = subprocess.run(["objdump", "-t", "-C", library], check=True,
                             capture_output=True, text=True).stdout
        files.update(parse_symbols(out, folder_of(library)))
    found = breaches(files, exceptions)
    # A listed file that no longer keeps state, or registers after all, leaves the list.
    stale = sorted(n for n in exceptions
                   if n in files and (not files[n][0] or files[n][1]))
    for line in found:
        print(f"keeps state without registering its reset: {line}")
    for name in stale:
        print(f"{exceptions_path}: {name} is listed but keeps no unregistered state")
    return 1 if found or stale else 0


def self_test():
    def member(name, *symbols):
        lines = [f"{name}:     file format elf64-x86-64", "", "SYMBOL TABLE:"]
        for section, symbol in symbols:
            lines.append(f"0000000000000000 l     O {section}\t0000000000000008 {symbol}")
        return lines

    text = "\n".join(
        ["In archive libtavo_runtime.a:", ""]
        + member("kept.cpp.o", (".bss", "(anonymous namespace)::g_count"),
                 (".bss", "(anonymous namespace)::kept_state_reset"))
        + member("added.cpp.o", (".data", "(anonymous namespace)::g_new_global"),
                 (".bss", "guard variable for f()::x"))
        + member("constant.cpp.o", (".data.rel.ro.local", "(anonymous namespace)::kTable"),
                 (".rodata", "(anonymous namespace)::kNames"))
        + member("cache.cpp.o", (".bss", "cache_of_files")))
    files = parse_symbols(text, "runtime")
    found = breaches(files, {"runtime/cache": "keyed by contents"})
    expected = ["runtime/added: (anonymous namespace)::g_new_global"]
    if found != expected:
        print(f"self-test: expected {expected}, found {found}")
        return 1
    print("self-test: the unregistered file was reported, the others were not")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exceptions")
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("libraries", nargs="*")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    if not args.exceptions or not args.libraries:
        parser.error("--exceptions and at least one library are needed")
    return check(args.libraries, args.exceptions)


if __name__ == "__main__":
    sys.exit(main())
