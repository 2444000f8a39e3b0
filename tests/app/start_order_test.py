#!/usr/bin/env python3
"""scripts/start-order with the system's compiler and linker: a program of a
section per function and per object, and an archive of whole-object
sections, is linked with a map; the sections holding what it touched (the
addresses of main, a hot function, an archived one and a table, standing in
for a profile) are written as a linker script, and the program linked again
with it has exactly those in .text.start_order and .rodata.start_order, and
still runs.

  start_order_test.py SCRIPTS_START_ORDER SCRATCH_PARENT
"""
import re
import subprocess
import sys
import tempfile
from importlib.machinery import SourceFileLoader

generator = SourceFileLoader("start_order", sys.argv[1]).load_module()

# A name long enough that the map puts its section's address on a line of
# its own.
HOT = "hot_function_whose_section_name_is_too_long_for_one_map_line"
PROGRAM = """
extern const int hot_table[64] = {3};
extern const int cold_table[64] = {5};
int %(hot)s(int x) { return x * hot_table[0]; }
int cold_function(int x) { return x * cold_table[0]; }
int archived_hot(int x);
int archived_cold(int x);
int main(int argc, char**) {
  if (argc > 5) return cold_function(argc) + archived_cold(argc);
  return %(hot)s(argc) + archived_hot(argc) == 4 ? 0 : 1;
}
""" % {"hot": HOT}
MEMBERS = {"hot_member.cpp": 'extern "C++" int archived_hot(int x) { return x; }\n',
           "cold_member.cpp": 'extern "C++" int archived_cold(int x) { return x + 1; }\n'}


def run(*argv, folder):
    subprocess.run(argv, cwd=folder, check=True)


def symbols(program, folder):
    listing = subprocess.run(["nm", "-C", program], cwd=folder, check=True, capture_output=True,
                             text=True).stdout
    found = {}
    for line in listing.splitlines():
        fields = line.split(None, 2)
        if len(fields) == 3 and fields[1] in "tTrR":
            found[re.sub(r"\(.*", "", fields[2])] = int(fields[0], 16)
    return found


def section_range(program, name, folder):
    headers = subprocess.run(["readelf", "-SW", program], cwd=folder, check=True, capture_output=True,
                             text=True).stdout
    for line in headers.splitlines():
        fields = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s+\S+\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)", line)
        if fields and fields.group(1) == name:
            return int(fields.group(2), 16), int(fields.group(2), 16) + int(fields.group(3), 16)
    return None


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="start-order-test-", dir=sys.argv[2]) as folder:
        with open(folder + "/main.cpp", "w") as source:
            source.write(PROGRAM)
        for name, text in MEMBERS.items():
            with open(folder + "/" + name, "w") as source:
                source.write(text)
        # The program's own code a section per function, the archive's not,
        # as the C library's objects are.
        run("c++", "-O1", "-ffunction-sections", "-fdata-sections", "-c", "main.cpp", folder=folder)
        run("c++", "-O1", "-c", "hot_member.cpp", "cold_member.cpp", folder=folder)
        run("ar", "rc", "libdemo.a", "hot_member.o", "cold_member.o", folder=folder)
        run("c++", "main.o", "libdemo.a", "-Wl,-Map=demo.map", "-o", "demo", folder=folder)

        before = symbols("demo", folder)
        touched = sorted(before[name] for name in ("main", HOT, "archived_hot", "hot_table"))
        orders = {kind: generator.start_order([touched], generator.input_sections(folder + "/demo.map", kind))
                  for kind in generator.KINDS}
        generator.write_script(folder + "/order.ld", orders)
        run("c++", "main.o", "libdemo.a", "-Wl,-T,order.ld", "-o", "ordered", folder=folder)

        after = symbols("ordered", folder)
        for kind, expected in ((".text", (("main", True), (HOT, True), ("archived_hot", True),
                                          ("cold_function", False), ("archived_cold", False))),
                               (".rodata", (("hot_table", True), ("cold_table", False)))):
            block = section_range("ordered", kind + ".start_order", folder)
            if block is None:
                failures.append("the program linked with %s has no section %s.start_order" % (orders, kind))
                continue
            for name, inside in expected:
                if (block[0] <= after[name] < block[1]) != inside:
                    failures.append("%s is %s %s.start_order (patterns %s)" % (
                        name, "outside" if inside else "inside", kind, orders[kind]))
        if subprocess.run([folder + "/ordered"]).returncode != 0:
            failures.append("the program linked with the start order does not run as before")
    for failure in failures:
        print("start_order_test: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
