#!/usr/bin/env python3
"""Every symbol a layer's library leaves undefined must be defined by the library itself, by a
layer it links (directly or through the layers below), or by the system libraries the
compiler links by default. A function of a higher layer, declared locally and called from a
lower one, compiles and even links in the program, and fails here.

usage: check_layer_symbols.py NM CXX LAYER=ARCHIVE=BELOW,BELOW ...
"""
import subprocess
import sys

# What the compiler links into every C++ program on this host.
SYSTEM_LIBRARIES = ["libstdc++.so.6", "libm.so.6", "libgcc_s.so.1", "libgcc.a", "libc.so.6",
                    "libc_nonshared.a", "ld-linux-x86-64.so.2"]
# What the linker itself provides.
LINKER_SYMBOLS = {"_GLOBAL_OFFSET_TABLE_", "__dso_handle"}


def symbols(nm, path, undefined, dynamic=False):
    command = [nm, "-P", "-u" if undefined else "--defined-only"]
    if dynamic:
        command.append("-D")
    out = subprocess.run(command + [path], check=True, capture_output=True, text=True).stdout
    found = set()
    for line in out.splitlines():
        fields = line.split()
        if len(fields) < 2 or len(fields[1]) != 1 or line.endswith(":"):
            continue  # an archive member's heading
        if undefined and fields[1] != "U":
            continue  # a weak reference may stay unresolved
        found.add(fields[0].split("@")[0])
    return found


def main():
    nm, cxx = sys.argv[1], sys.argv[2]
    system = set(LINKER_SYMBOLS)
    for name in SYSTEM_LIBRARIES:
        path = subprocess.run([cxx, "-print-file-name=" + name], check=True,
                              capture_output=True, text=True).stdout.strip()
        if path == name:
            continue  # not on this host
        system |= symbols(nm, path, False, dynamic=path.endswith((".so", ".1", ".2", ".6")))
    layers = {}
    for layer in sys.argv[3:]:
        name, archive, below = layer.split("=")
        layers[name] = (archive, [b for b in below.split(",") if b])
    defined = {name: symbols(nm, archive, False) for name, (archive, _) in layers.items()}

    def reach(name, seen):
        for below in layers[name][1]:
            if below in layers and below not in seen:
                seen.add(below)
                reach(below, seen)
        return seen

    failed = False
    for name, (archive, _) in layers.items():
        allowed = set(system) | defined[name]
        for below in reach(name, set()):
            allowed |= defined[below]
        for symbol in sorted(symbols(nm, archive, True) - allowed):
            owners = [other for other in layers if symbol in defined[other]]
            print(f"{name}: {symbol} is defined " +
                  (f"only above it, in {', '.join(owners)}" if owners else "by no layer"))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
