#!/usr/bin/env python3
"""Checks that the program's code names command, list and message numbers instead of writing
them bare where it compares them.

The numbers and their names come from the generated header tables/table_names.h (kCmd...,
kList..., kMsg...). A bare number is reported as "file:line: text" (exit code 1) where it is
  - a case label of a switch over a command number (current_command(), saved_level_command(),
    a variable named command or cmd), or compared with one (==, !=, <, <=, >, >=);
  - a case label of a switch over a sheet's field code (a variable named field): a field that
    is a command number is the cell of that command's value, the others have names of their own;
  - a case label of a switch over a list number (a variable whose name ends in list or
    list_number), or compared with one;
  - a case label of a switch over a result code (rc, r, result, status, error, failure, message
    and names ending in them), or a number compared with one by == or !=, that is a named
    message number (-1 aside: it is the "none" of most of the code far more often than the
    ready prompt);
  - a help topic given as a number (a sheet's title call, a topic constant, show_help's topic)
    rather than by the kHelpTopic... name of its `topic` line in tables/help/ctable.hlp: the
    help file's build checks only the topics those lines name, so a bare one can be missing
    from the file and the Help button then finds nothing (0 and 1 stay bare: "the command's
    own topic").
Comments and string literals are not read. ALLOWED lists what stays bare, each with its reason.

    check_named_numbers.py --header <table_names.h> [--root DIR]
    check_named_numbers.py --self-test    puts each kind of bare number in a small tree
"""
import argparse
import os
import re
import sys
import tempfile

FOLDERS = ["platform", "numeric", "runtime", "kpl", "lens", "trace", "ui", "entry",
           "evaluation", "optimise", "reports", "drawing", "graphics", "app"]
# (file, text of the line) -> why the number stays bare there.
ALLOWED = {}

COMMAND_SUBJECT = re.compile(
    r"^(?:current_command\(\)|saved_level_command\(\)|(?:\w+(?:\.|->))?(?:command|cmd))$")
LIST_SUBJECT = re.compile(r"^(?:\w+(?:\.|->))?\w*(?:list|list_number)$")
FIELD_SUBJECT = re.compile(r"^(?:\w+(?:\.|->))?field$")
RESULT_SUBJECT = re.compile(
    r"^(?:\w+(?:\.|->))?(?:r|\w*(?:rc|result|status|error|failure|message|code))$")
NAME = re.compile(r"inline constexpr int (k(?:Cmd|List|Msg)\w*) = (-?\d+);")
OPERAND = r"(?:current_command\(\)|saved_level_command\(\)|(?:\w+(?:\.|->))*\w+)"
COMPARISON = re.compile(r"(" + OPERAND + r")\s*(==|!=|<=|>=|<|>)\s*(-?\d+)\b(?!\.)")
# A sheet passes its topic negative; the positive constants near topics are not topics.
TOPIC_NUMBER = re.compile(
    r"(?:constexpr\s+int\s+k\w*(?:Topic|Help)\w*\s*=\s*(?=-)|\bsheet_set_title\s*\(\s*|"
    r"\bshow_help\s*\(\s*1\s*,\s*)(-?\d+)\b(?!\.)")
COMPARISON_LEFT = re.compile(r"(?<![\w.])(-?\d+)\s*(==|!=)\s*(" + OPERAND + r")")


def read_names(header):
    numbers = {"kCmd": {}, "kList": {}, "kMsg": {}}
    with open(header, encoding="utf-8") as f:
        for match in NAME.finditer(f.read()):
            name, value = match.group(1), int(match.group(2))
            for prefix in numbers:
                if name.startswith(prefix) and not name.startswith("kCompilerMsg"):
                    numbers[prefix][value] = name
    return numbers


def blank_comments_and_strings(text):
    """The text with comments and the insides of literals turned to blanks, lines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif text[i] in "\"'" and not (text[i] == "'" and i > 0 and text[i - 1].isalnum()):
            quote, j = text[i], i + 1
            while j < n and text[j] != quote and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(quote + " " * (j - i - 1) + quote)
            i = j + 1
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def switch_labels(code):
    """(subject, [(offset, label text)]) of every switch, its own labels only."""
    for match in re.finditer(r"\bswitch\s*\(", code):
        i, depth = match.end(), 1
        while depth and i < len(code):
            depth += {"(": 1, ")": -1}.get(code[i], 0)
            i += 1
        subject = code[match.end():i - 1].strip()
        start = code.find("{", i)
        if start < 0:
            continue
        labels, depth, k = [], 0, start
        while k < len(code):
            c = code[k]
            if c == "{":
                depth += 1
            elif c == "}":
                depth -= 1
                if depth == 0:
                    break
            elif depth == 1 and code.startswith("case", k) and not (
                    code[k - 1].isalnum() or code[k - 1] == "_"):
                label = re.match(r"case\s+([^:]+?)\s*:(?!:)", code[k:])
                if label:
                    labels.append((k, label.group(1)))
            k += 1
        yield subject, labels


def kind_of_subject(subject):
    if COMMAND_SUBJECT.match(subject):
        return "kCmd"
    if LIST_SUBJECT.match(subject):
        return "kList"
    if RESULT_SUBJECT.match(subject):
        return "kMsg"
    return None


def check_text(path, text, numbers):
    code = blank_comments_and_strings(text)
    lines = text.split("\n")
    found = []

    def report(offset, what):
        line = code.count("\n", 0, offset) + 1
        if (path, lines[line - 1].strip()) not in ALLOWED:
            found.append(f"{path}:{line}: {what}: {lines[line - 1].strip()}")

    for subject, labels in switch_labels(code):
        kind = "kCmd" if FIELD_SUBJECT.match(subject) else kind_of_subject(subject)
        for offset, label in labels:
            if not re.fullmatch(r"-?\d+", label):
                continue
            value = int(label)
            if kind and value not in (0, -1) and value in numbers[kind]:
                report(offset, f"case {value} is {numbers[kind][value]}")
    for match in COMPARISON.finditer(code):
        operand, operator, value = match.group(1), match.group(2), int(match.group(3))
        kind = kind_of_subject(operand)
        if kind == "kMsg" and operator not in ("==", "!="):
            continue
        if kind and value not in (0, -1) and value in numbers[kind]:
            report(match.start(3), f"{value} is {numbers[kind][value]}")
    for match in COMPARISON_LEFT.finditer(code):
        value, operand = int(match.group(1)), match.group(3)
        kind = kind_of_subject(operand)
        if kind and value not in (0, -1) and value in numbers[kind]:
            report(match.start(1), f"{value} is {numbers[kind][value]}")
    for match in TOPIC_NUMBER.finditer(code):
        if abs(int(match.group(1))) > 1:
            report(match.start(1), "a help topic without its topic line")
    return found


def check_tree(root, numbers):
    found = []
    for folder in FOLDERS:
        for directory, _, files in sorted(os.walk(os.path.join(root, folder))):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                found += check_text(os.path.relpath(path, root), text, numbers)
    return found


SELF_TEST_HEADER = """inline constexpr int kCmdTraceSingleRay = 717;
inline constexpr int kCmdOutB = 1;
inline constexpr int kListSettingNames = 20;
inline constexpr int kMsgIdlePrompt = -1;
inline constexpr int kMsgNoSurfaces = -12;
"""
# Each line that ends in "// bare" must be reported, no other.
SELF_TEST_SOURCE = """int f(int command, int rc, int list, int kind, int field, Event event) {
    switch (current_command()) {
        case 717:  // bare
            break;
        case kCmdOutB:
            switch (kind) {
                case 1:
                    break;
            }
            break;
    }
    if (command == 717) return 1;  // bare
    if (717 == command) return 1;  // bare
    if (command >= 1 && command < 3) return 2;  // bare
    if (rc == -12) return rc;  // bare
    if (rc == -1 || kind == 717 || rc < -12 || kind == -12) return 0;
    switch (rc) {
        case -12:  // bare
            break;
    }
    if (list == 20) return 3;  // bare
    switch (event.field) {
        case 717:  // bare
            break;
    }
    if (field < 20 || event.field == 1) return 6;
    // command == 717 in a comment
    const char* text = "command == 717";
    return kind == 20 ? 4 : 5;
}
constexpr int kHelpTopic = -1046;  // bare
constexpr int kListHelpTopic = -kHelpTopicGlassList;
constexpr int kHologramHelp = -1009;  // bare
void g() {
    sheet_set_title(-1023, -5);  // bare
    sheet_set_title(1, 1);
    show_help(1, 1043);  // bare
    show_help(1, topic);
}
"""


def self_test():
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "lens"))
        header = os.path.join(root, "table_names.h")
        with open(header, "w", encoding="utf-8") as f:
            f.write(SELF_TEST_HEADER)
        with open(os.path.join(root, "lens", "probe.cpp"), "w", encoding="utf-8") as f:
            f.write(SELF_TEST_SOURCE)
        found = check_tree(root, read_names(header))
    expected = {n + 1 for n, line in enumerate(SELF_TEST_SOURCE.split("\n"))
                if line.endswith("// bare")}
    reported = {int(line.split(":")[1]) for line in found}
    if reported != expected:
        print("expected reports on lines", sorted(expected), "got:")
        print("\n".join(found))
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--header")
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    found = check_tree(os.path.abspath(args.root), read_names(args.header))
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
