#!/usr/bin/env python3
"""Checks the house rules of src/ that the compiler cannot:

- a room includes only the rooms below it (and its own), as docs/architecture.md
  draws them;
- Qt headers appear only in the panel back end (src/platform/qt_*) and src/app/;
- SQLite's headers (<sqlite3.h>, <SQLiteCpp/...>) appear only in src/sqlite/,
  the one way every room opens and writes the station's SQLite files;
- the AMQP library's headers (Qpid Proton, <proton/...>) appear only in
  src/cfxnet/ and the sender program's main (src/app/ffsload_cfx_main.cpp),
  so that no other program links it;
- process, signal and terminal calls (fork, exec, pipe, poll, waitpid,
  sigaction, termios) appear only in src/platform/ (and in the simulated
  handset, which owns its pseudo-terminal as a device does);
- file, folder, link, lock and sync calls, the host's name, the process id
  and calendar time (open, stat, flock, fdatasync, rename, unlink, chdir,
  gethostname, getpid, gmtime_r, std::rename, std::remove of a file, and
  <fcntl.h>, <unistd.h>, <sys/stat.h>, <sys/file.h>) appear only in
  src/platform/, the simulated handset and the programs' main files
  (src/app/*_main.cpp). std::filesystem and the stdio streams (std::fopen)
  are the standard library's own, not the operating system's, and may be
  used anywhere;
- no header declares a mutable extern variable (extern int x;): what a run
  changes belongs to the run's object, and a global that any file may set is
  how two runs come to see each other's. extern const and constexpr stay
  allowed.

  scripts/check_layers.py [SRC]    (default: the src folder beside scripts/)

Prints each breach as FILE:LINE: WHAT and exits 1 when there is one.
"""
import os
import re
import sys

# What each room may include besides itself. A room absent from another's
# list is above it or beside it.
BELOW = {
    "platform": set(),
    # Station text (Latin-1 or UTF-8, hidden characters, CSV fields): for every
    # room above platform.
    "text": {"platform"},
    # The one way to SQLite: for the rooms that keep the station's SQLite files.
    "sqlite": {"platform"},
    "link": {"platform", "text"},
    "commands": {"platform", "text", "link"},
    "fs": {"platform", "text", "link"},
    "script": {"platform", "text", "link", "commands", "fs"},
    "sim": {"platform"},
    "records": {"platform", "text", "sqlite"},
    "cfx": {"platform", "text", "sqlite", "records"},
    # The people, their PINs and the audit trail, beside the run records.
    "people": {"platform", "text", "sqlite", "records"},
    "station": {"platform", "text", "sqlite", "link", "commands", "fs", "script", "records",
                "cfx"},
    "check": {"platform", "text", "sqlite", "link", "commands", "fs", "script", "records", "cfx",
              "station"},
    "run": {"platform", "text", "sqlite", "link", "commands", "fs", "script", "records", "cfx",
            "station"},
    "multiport": {"platform", "text", "sqlite", "link", "commands", "fs", "script", "records",
                  "cfx", "station", "run"},
    "ui": {"platform", "text", "sqlite", "link", "commands", "fs", "script", "records", "cfx",
           "station", "run"},
    "board": {"platform", "text", "sqlite", "records", "cfx"},
    # The sender's network side, over Qpid Proton: the sender program alone uses it.
    "cfxnet": {"platform", "text", "sqlite", "records", "cfx"},
    "cli": {"platform", "text", "sqlite", "link", "commands", "fs", "script", "records", "cfx",
            "station", "run", "multiport", "ui", "check", "people"},
}
# The programs sit on top of everything.
BELOW["app"] = set(BELOW) | {"app"}
# Generated into the build tree; the rooms that say which version ran.
GENERATED = {"ffsload_version.h": {"run", "cli", "app"}}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# SQLite's own headers and SQLiteCpp's: src/sqlite/ alone, so that every file
# is opened, waited on and written the one way.
SQLITE_HEADER = re.compile(r"^sqlite3\.h$|^SQLiteCpp/")
QT_HEADER = re.compile(r"^Q[A-Za-z]+$|^Qt[A-Za-z]*/")
PROTON_HEADER = re.compile(r"^proton/")
PROTON_MAIN = "ffsload_cfx_main.cpp"
# poll and pipe are also ordinary method names: only the global call counts.
SYSTEM_CALL = re.compile(
    r"(?<![\w:.>])(?:::)?(fork|vfork|execv|execvp|execve|execl|execlp|posix_spawnp?"
    r"|waitpid|wait4|sigaction|tcsetattr|tcgetattr|cfmakeraw|cfsetspeed)\s*\(|(?<![\w>])::(poll|pipe2?)\s*\(")
SYSTEM_HEADERS = {"termios.h", "sys/wait.h", "spawn.h", "poll.h"}
# Names that are only the system's count as bare calls too; names that are
# also ordinary methods or functions (open, close, read, write, stat, rename,
# remove, ...) only as global calls: ::open(, std::rename(. std::remove with
# one argument is the file's; with more it is the algorithm. std::filesystem's
# own functions (stdfs::remove) are not matched.
FILE_CALL = re.compile(
    r"(?<![\w:.>])(?:::)?(?:openat|creat|stat|lstat|fstat|fstatat|flock|lockf|fcntl|fsync|fdatasync"
    r"|ftruncate|unlink|unlinkat|renameat2?|chdir|fchdir|gethostname|getpid|getppid|gmtime_r"
    r"|localtime_r|timegm|fileno|isatty|fdopen|symlink|readlink|realpath|mkstemp|mkdtemp)\s*\("
    r"|(?<![\w>])::(?:open|close|read|write|pread|pwrite|stat|rename|remove|link|access|truncate"
    r"|mkdir|rmdir|dup2?|lseek|gmtime|localtime|mktime)\s*\("
    r"|(?<![\w:])std::(?:rename|gmtime|localtime|mktime)\s*\("
    r"|(?<![\w:])std::remove\s*\((?=[^,()]*(?:\([^()]*\)[^,()]*)*\))")
FILE_HEADERS = {"fcntl.h", "unistd.h", "sys/stat.h", "sys/file.h"}
EXTERN = re.compile(r"(?<![\w])extern\b")


def without_template_arguments(text):
    while True:
        shorter = re.sub(r"<[^<>]*>", "", text)
        if shorter == text:
            return text
        text = shorter


def mutable_extern(declaration):
    """Whether `extern ...;` (comments and strings already blanked) declares a
    variable that can be changed: not a function, not const, not constexpr."""
    d = declaration.strip().rstrip(";").strip()
    d = re.sub(r"^extern\s+", "", d)
    if d.startswith('""') or d.startswith("template"):
        return False  # extern "C" blocks and explicit instantiations
    if re.search(r"\bconstexpr\b", d):
        return False
    d = without_template_arguments(d.split("=")[0])
    if "(" in d and not re.search(r"\(\s*[*&]", d):
        return False  # a function, not a pointer to one
    d = re.sub(r"\[[^\]]*\]", "", d)
    # Past the last * or &, the object itself: const there, or anywhere in a
    # type without pointers, makes it unchangeable.
    last = max(d.rfind("*"), d.rfind("&"))
    return not re.search(r"\bconst\b", d[last + 1:] if last >= 0 else d)


def strip_comments_and_strings(line, in_block):
    out = []
    i = 0
    while i < len(line):
        if in_block:
            end = line.find("*/", i)
            if end < 0:
                return "".join(out), True
            i = end + 2
            in_block = False
        elif line.startswith("//", i):
            break
        elif line.startswith("/*", i):
            in_block = True
            i += 2
        elif line[i] == '"':
            j = i + 1
            while j < len(line) and line[j] != '"':
                j += 2 if line[j] == "\\" else 1
            out.append('""')
            i = j + 1
        else:
            out.append(line[i])
            i += 1
    return "".join(out), in_block


def check_file(src, path):
    rel = os.path.relpath(path, src)
    room = rel.split(os.sep)[0]
    name = os.path.basename(rel)
    allowed = BELOW.get(room)
    breaches = []
    if allowed is None:
        return [f"{rel}:1: the room \"{room}\" is not in the layering table"]
    may_use_qt = room == "app" or (room == "platform" and name.startswith("qt_"))
    may_use_proton = room == "cfxnet" or (room == "app" and name == PROTON_MAIN)
    may_call_system = room in ("platform", "sim")
    # A program's main may set up its own process (the simulator's link).
    may_use_files = may_call_system or (room == "app" and name.endswith("_main.cpp"))
    in_block = False
    is_header = rel.endswith(".h")
    extern_start = 0  # the line a declaration with extern began on, while it goes on
    extern_text = ""
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                kind, header = m.groups()
                first = header.split("/")[0]
                if kind == '"':
                    if header in GENERATED:
                        if room not in GENERATED[header]:
                            breaches.append(f"{rel}:{number}: {room}/ includes {header}")
                    elif first not in BELOW:
                        breaches.append(f"{rel}:{number}: includes \"{header}\", no room of src/")
                    elif first != room and first not in allowed:
                        breaches.append(
                            f"{rel}:{number}: {room}/ includes {header}, a room above or beside it")
                else:
                    if QT_HEADER.match(header) and not may_use_qt:
                        breaches.append(f"{rel}:{number}: Qt header <{header}> outside the panel "
                                        "back end and app/")
                    if SQLITE_HEADER.match(header) and room != "sqlite":
                        breaches.append(f"{rel}:{number}: SQLite header <{header}> outside "
                                        "sqlite/")
                    if PROTON_HEADER.match(header) and not may_use_proton:
                        breaches.append(f"{rel}:{number}: AMQP header <{header}> outside cfxnet/ "
                                        "and the sender program's main")
                    if header in SYSTEM_HEADERS and not may_call_system:
                        breaches.append(f"{rel}:{number}: <{header}> above platform/")
                    if header in FILE_HEADERS and not may_use_files:
                        breaches.append(f"{rel}:{number}: <{header}> above platform/")
                continue
            code, in_block = strip_comments_and_strings(line, in_block)
            if is_header and (extern_start or EXTERN.search(code)):
                if not extern_start:
                    extern_start = number
                    extern_text = code[EXTERN.search(code).start():]
                else:
                    extern_text += " " + code
                if ";" in extern_text or "{" in extern_text:
                    declaration = re.split(r"[;{]", extern_text)[0]
                    if mutable_extern(declaration):
                        breaches.append(f"{rel}:{extern_start}: mutable extern in a header "
                                        f"({' '.join(declaration.split())}): state for any file "
                                        "to set")
                    extern_start = 0
                    extern_text = ""
            if not may_call_system:
                call = SYSTEM_CALL.search(code)
                if call:
                    breaches.append(f"{rel}:{number}: {call.group(1) or call.group(2)}() above platform/")
            if not may_use_files:
                call = FILE_CALL.search(code)
                if call:
                    name = call.group(0).rstrip("( \t")
                    breaches.append(f"{rel}:{number}: {name}() above platform/")
    return breaches


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    src = argv[1] if len(argv) > 1 else os.path.join(here, "..", "src")
    src = os.path.abspath(src)
    breaches = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                breaches += check_file(src, os.path.join(folder, name))
    for b in sorted(breaches):
        print(b)
    if breaches:
        print(f"check_layers: {len(breaches)} breach(es) of the layering in {src}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
