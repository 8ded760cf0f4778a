#!/usr/bin/env python3
"""The bash completion against the programs' own --help, so that an option
can never be missing from it, nor linger there after it is gone.

Runs the completion in bash with bash-completion loaded, as a shell at a
terminal would, and asks it:
- after "ffsload ", every subcommand, --help and --version;
- after "ffsload SUB --" (and "ffsload-sim --"), exactly the long options
  that "SUB --help" lists;
- after "ffsload SUB --OPTION " for an option that takes a value, no option
  names (the value goes there), and for an option with a fixed set of values
  exactly those values.

  completion_test.py FFSLOAD FFSLOAD-SIM COMPLETION-FILE
Exits 77 (skipped) when bash-completion is not installed.
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile

BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"
# "  -h,--help   ...", "  --port INT:INT in [1 - 8] Excludes: --ports",
# "  --by TEXT:{port,operator,customer}", "  --trace [FILE]   ...": a value's
# type follows the name after one blank, a description after several.
OPTION = re.compile(r"^  (?:-\w,)?(--[A-Za-z0-9][A-Za-z0-9-]*)(?: (?!Excludes:|Needs:)(\S+))?")
CHOICES = re.compile(r"\{([^}]*)\}")


def help_text(program, *args):
    result = subprocess.run([program, *args, "--help"], capture_output=True, text=True,
                            timeout=30)
    if result.returncode != 0:
        sys.exit(f"{program} {' '.join(args)} --help failed: {result.stderr}")
    return result.stdout


def options(text):
    """{name: (takes a value, its fixed values or None)} of a --help text."""
    found = {}
    for line in text.splitlines():
        m = OPTION.match(line)
        if m:
            value = m.group(2)
            choices = CHOICES.search(value) if value else None
            found[m.group(1)] = (value is not None,
                                 set(choices.group(1).split(",")) if choices else None)
    return found


def subcommands(text):
    names = []
    in_list = False
    for line in text.splitlines():
        if line.startswith("Subcommands:"):
            in_list = True
        elif in_list and re.match(r"^  \S", line):
            names.append(line.split()[0])
        elif in_list and line.strip() and not line.startswith(" "):
            in_list = False
    return names


def complete(completion_file, queries, cwd):
    """COMPREPLY for each query (a list of words, the last one being completed)."""
    script = [f"source {shlex.quote(BASH_COMPLETION)}", f"source {shlex.quote(completion_file)}"]
    for words in queries:
        function = "_ffsload_sim" if words[0] == "ffsload-sim" else "_ffsload"
        line = " ".join(words)
        quoted = " ".join(shlex.quote(w) for w in words)
        script += [
            f"COMP_WORDS=({quoted}); COMP_CWORD={len(words) - 1}",
            f"COMP_LINE={shlex.quote(line)}; COMP_POINT=${{#COMP_LINE}}; COMPREPLY=()",
            f"{function} {shlex.quote(words[0])} {shlex.quote(words[-1])} "
            f"{shlex.quote(words[-2] if len(words) > 1 else '')}",
            'printf "%s " "${COMPREPLY[@]}"; echo',
        ]
    result = subprocess.run(["bash", "--norc", "--noprofile", "-c", "\n".join(script)],
                            capture_output=True, text=True, cwd=cwd, timeout=60)
    lines = result.stdout.split("\n")
    if result.returncode != 0 or len(lines) < len(queries):
        sys.exit(f"bash could not run the completion: {result.stderr}")
    return [set(line.split()) for line in lines[:len(queries)]]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    ffsload, sim, completion_file = sys.argv[1:]
    if not os.path.exists(BASH_COMPLETION):
        print("bash-completion is not installed: skipped")
        return 77

    top = help_text(ffsload)
    programs = {("ffsload", sub): options(help_text(ffsload, sub)) for sub in subcommands(top)}
    programs[("ffsload-sim",)] = options(help_text(sim))
    if len(programs) < 2 or not all(programs.values()):
        sys.exit("no subcommands or options found in --help: has its layout changed?")

    queries = [(["ffsload", ""], "ffsload's subcommands")]
    expected = [set(sub for _, sub in list(programs)[:-1]) | set(options(top))]
    for program, table in programs.items():
        words = list(program)
        queries.append((words + ["--"], " ".join(words) + " --"))
        expected.append(set(table))
        for name, (takes_value, choices) in table.items():
            if takes_value:
                queries.append((words + [name, ""], " ".join(words + [name]) + " VALUE"))
                expected.append(choices)

    with tempfile.TemporaryDirectory(prefix="ffsload-completion.") as empty:
        replies = complete(os.path.abspath(completion_file), [q for q, _ in queries], empty)

    faults = []
    for (words, what), want, got in zip(queries, expected, replies):
        if words[-1] == "" and words[-2].startswith("--"):
            offered_options = sorted(w for w in got if w.startswith("-"))
            if offered_options:
                faults.append(f"{what}: offers options where the value goes: {offered_options}")
            if want is not None and got != want:
                faults.append(f"{what}: offers {sorted(got)}, --help allows {sorted(want)}")
        else:
            if want - got:
                faults.append(f"{what}: missing {sorted(want - got)}")
            if got - want:
                faults.append(f"{what}: offers {sorted(got - want)}, which --help does not know")
    for fault in faults:
        print(f"completion: {fault}")
    if faults:
        return 1
    print(f"completion: {len(queries)} completions agree with --help")
    return 0


if __name__ == "__main__":
    sys.exit(main())
