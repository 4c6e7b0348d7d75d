#!/usr/bin/env python3
"""Runs the benchmark program through once in its own order and once shuffled, each benchmark
for a single short round, and fails when the program does not end cleanly or a benchmark reports
an error or no figures: a benchmark that depends on what ran before it shows in one of the two
orders. Speed is not looked at."""

import json
import subprocess
import sys


def run(program, extra):
    args = [program, "--benchmark_min_time=0.0001", "--benchmark_format=json"] + extra
    done = subprocess.run(args, capture_output=True, text=True, timeout=600)
    return done.returncode, done.stdout, done.stderr


def problems_of(expected, returncode, stdout, stderr):
    problems = [f"exit code {returncode}: {stderr[-2000:]}"] if returncode != 0 else []
    try:
        reported = json.loads(stdout)["benchmarks"]
    except (ValueError, KeyError) as e:
        return problems + [f"no report: {e}: {stderr[-2000:]}"]
    seen = {}
    for entry in reported:
        name = entry.get("name", "?")
        seen[name] = seen.get(name, 0) + 1
        if entry.get("error_occurred"):
            problems.append(f"{name}: {entry.get('error_message', '')}")
        elif entry.get("iterations", 0) < 1:
            problems.append(f"{name}: no iterations")
    for name in expected:
        if seen.get(name, 0) != 1:
            problems.append(f"{name}: reported {seen.get(name, 0)} times")
    if problems:
        problems.append("order: " + " ".join(entry.get("name", "?") for entry in reported))
    return problems


def main():
    program = sys.argv[1]
    listed = subprocess.run([program, "--benchmark_list_tests=true"], capture_output=True,
                            text=True, timeout=60, check=True)
    expected = listed.stdout.split()
    if not expected:
        print("the program lists no benchmarks")
        return 1
    failed = False
    for label, extra in (("in order", []),
                         ("shuffled", ["--benchmark_enable_random_interleaving=true"])):
        problems = problems_of(expected, *run(program, extra))
        if problems:
            failed = True
            print(f"{label}:")
            for line in problems:
                print("  " + line)
    if not failed:
        print(f"{len(expected)} benchmarks ran in order and shuffled")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
