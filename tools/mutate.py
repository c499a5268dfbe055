#!/usr/bin/env python3
"""Plants one fault at a time in the product code and runs the host tests and
the saved fuzz inputs against it; a fault nothing notices is a gap in the
tests, or a change that alters nothing (those are listed in docs/mutants.md).

    tools/mutate.py                        every mutant
    tools/mutate.py --sample 20 --seed 1   20 that compile, chosen by the seed,
                                           leaving out the survivors docs/mutants.md
                                           explains (CI)
    tools/mutate.py --only ID [ID ...]     just these
    tools/mutate.py --list                 the mutants, run none

Faults: a comparison flipped or moved by one (cmp), an integer constant off by
one (const), a condition or one operand of && and || negated (negate), a
statement that is only a call removed (call), a returned value replaced
(return). A mutant's id hashes its file, operator, and its text before and
after, so it holds while unrelated lines move. The build is a plain g++ -O0
one in build/mutants, from a copy of the tree; the working tree is only read.
Exits 1 when a mutant survives that docs/mutants.md does not explain.
"""
import argparse, concurrent.futures as futures, glob, hashlib, os, random, re
import resource, shutil, subprocess, sys, threading, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "build", "mutants")
SRC = os.path.join(OUT, "src")
TARGETS = ["monitor/*.cpp", "monitor/*.h", "notify/*.cpp", "platform/wave_file.cpp"]
SURVIVOR_LIST = "docs/mutants.md"
FLAGS = ["g++", "-std=c++20", "-O0", "-w", "-pthread"]
FUZZ_HEADER = "/usr/lib/llvm-*/lib/clang/*/include/fuzzer/FuzzedDataProvider.h"

# ---------------------------------------------------------------- the mutants

def mask(text):
    """The text with comments, string and character literals blanked to
    spaces, offsets and newlines kept, so that the rules see only code."""
    out, i, n = list(text), 0, len(text)
    while i < n:
        if text.startswith(("//", "/*"), i):
            line_comment = text[i + 1] == "/"
            stop = text.find("\n" if line_comment else "*/", i)
            begin = i
            end = after = n if stop < 0 else stop + (0 if line_comment else 2)
        elif text[i] in "\"'":
            end = i + 1
            while end < n and text[end] != text[i]:
                end += 2 if text[end] == "\\" else 1
            begin, after = i + 1, end + 1  # the quotes stay
        else:
            i += 1
            continue
        for k in range(begin, min(end, n)):
            out[k] = out[k] if out[k] == "\n" else " "
        i = after
    return "".join(out)


def closing(code, open_at):
    """Offset of the bracket that closes the one at `open_at`, or -1."""
    depth = 0
    for k in range(open_at, len(code)):
        depth += {"(": 1, "{": 1, ")": -1, "}": -1}.get(code[k], 0)
        if depth == 0:
            return k
    return -1


CMP = {"==": ["!="], "!=": ["=="], "<": ["<=", ">"], "<=": ["<", ">="], ">": [">=", "<"], ">=": [">", "<="]}
INTEGRAL = re.compile(r"^(char|int|long|unsigned|std::u?int\d+_t|std::size_t)$")
KEYWORDS = {"if", "for", "while", "switch", "return", "sizeof", "case", "else", "do"}
FUNCTION = re.compile(r"^(?:(?:constexpr|inline|static)\s+)*([A-Za-z_][\w:<>, ]*?[\w>])\s+[\w:]+\(", re.M)


def functions(code):
    """(first line, last line, return type) of each function defined at the
    start of a line: a name and its parameters, then its body."""
    found = []
    for m in FUNCTION.finditer(code):
        after = closing(code, m.end() - 1)
        if after < 0:
            continue
        body = after + 1 + len(code[after + 1:]) - len(code[after + 1:].lstrip())
        if m.group(1).split()[0] in ("namespace", "using", "return") or code[body:body + 1] != "{":
            continue
        found.append((code.count("\n", 0, m.start()), code.count("\n", 0, closing(code, body)), m.group(1)))
    return found


def mutants_of(path, text):
    """Every mutant of one file as (first line, last line, operator, new text
    of those lines), lines 0-based."""
    code, found = mask(text), []
    lines, clines = text.split("\n"), code.split("\n")
    starts = [0]
    for line in lines:
        starts.append(starts[-1] + len(line) + 1)
    returns = {i: kind for first, last, kind in functions(code) for i in range(first, last + 1)}
    # A source file's every line of code; a header's only inside its functions.
    mutable = [i for i, line in enumerate(clines) if line.strip() and not line.lstrip().startswith("#") and
               (path.endswith(".cpp") or i in returns)]

    def emit(begin, end, new, op):
        first, last = code.count("\n", 0, begin), code.count("\n", 0, max(begin, end - 1))
        old = text[starts[first]:starts[last + 1] - 1]
        mutated = old[:begin - starts[first]] + new + old[end - starts[first]:]
        if mutated != old:
            found.append((first, last, op, mutated))

    def statement_end(at):  # the ';' that ends the statement from `at`, brackets balanced
        k = at
        while k < len(code) and code[k] != ";":
            k = closing(code, k) if code[k] in "({" else k
            if k < 0:
                return -1
            k += 1
        return k if k < len(code) else -1

    for i in mutable:
        line, base = clines[i], starts[i]
        for m in re.finditer(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)", line):
            for new in CMP[m.group(1)]:
                emit(base + m.start(), base + m.end(), new, "cmp")
        for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|[0-9]+)[uUlL]*(?![\w.'])", line):
            value, hexadecimal = int(m.group(1), 0), m.group(1)[:2] in ("0x", "0X")
            for new in (value + 1, value - 1) if value else (1,):
                emit(base + m.start(1), base + m.end(1), f"0x{new:X}" if hexadecimal else str(new), "const")
        for m in re.finditer(r"\b(if|while)\s*\(", line):
            open_at = base + m.end() - 1
            close_at = closing(code, open_at)
            cond = (open_at + 1, close_at)
            emit(cond[0], cond[1], f"!({text[cond[0]:cond[1]]})", "negate")
            depth, operands, start = 0, [], cond[0]
            for k in range(cond[0], cond[1] + 1):
                if k < cond[1] and code[k] in "()":
                    depth += 1 if code[k] == "(" else -1
                elif k == cond[1] or (depth == 0 and code[k:k + 2] in ("&&", "||")):
                    operands.append((start, k))
                    start = k + 2
            for a, b in operands if len(operands) > 1 else []:
                piece = text[a:b]
                a, b = a + len(piece) - len(piece.lstrip()), b - (len(piece) - len(piece.rstrip()))
                emit(a, b, f"!({text[a:b]})", "negate")
        for m in re.finditer(r"(?:^\s*|\)\s+|\{\s+|\belse\s+)((?:[\w:]+(?:\.|->))*([\w:]+)\s*\()", line):
            if m.group(2) in KEYWORDS:
                continue
            at = base + m.start(1)
            close_at = closing(code, base + m.end(1) - 1)
            if close_at > 0 and code[close_at + 1:close_at + 2] == ";" and \
                    (m.group(0).lstrip()[:1] != ")" or re.search(r"\b(if|for|while)\s*\(", line[:m.start(1)])):
                emit(at, close_at + 1, "(void)0", "call")
        for m in re.finditer(r"\breturn\s+", line):
            end = statement_end(base + m.end())
            value, kind = " ".join(text[base + m.end():end].split()), returns.get(i) or ""
            if kind == "void" or end < 0:
                continue
            if value in ("true", "false"):
                new = "false" if value == "true" else "true"
            elif kind == "bool":
                new = f"!({value})"
            elif INTEGRAL.match(kind):
                new = "1" if value == "0" else "0"
            elif kind.startswith("std::optional"):
                new = None if value == "std::nullopt" else "std::nullopt"
            else:
                new = None if value == "{}" else "{}"
            if new:
                emit(base + m.end(), end, new, "return")
    return found


class Mutant:
    def __init__(self, path, first, last, op, old, new):
        self.path, self.first, self.last, self.op, self.old, self.new = path, first, last, op, old, new
        self.id = hashlib.sha1("\0".join((path, op, old, new)).encode()).hexdigest()[:8]

    def describe(self):
        flat = lambda s: " ".join(s.split())
        return f"{self.path}:{self.first + 1} [{self.id}] {self.op}: {flat(self.old)}  ->  {flat(self.new)}"


def all_mutants(tree):
    result, ids, places = [], set(), set()
    for path in sorted({p for pattern in TARGETS for p in glob.glob(pattern, root_dir=tree)}):
        text = open(os.path.join(tree, path), encoding="utf-8").read()
        lines = text.split("\n")
        for first, last, op, new in mutants_of(path, text):
            if (path, first, last, new) in places:  # two rules, one change
                continue
            places.add((path, first, last, new))
            mutant = Mutant(path, first, last, op, "\n".join(lines[first:last + 1]), new)
            while mutant.id in ids:  # the same change to two equal lines
                mutant.id = hashlib.sha1(mutant.id.encode()).hexdigest()[:8]
            ids.add(mutant.id)
            result.append(mutant)
    return result


def documented_survivors():
    """Ids of the survivors docs/mutants.md explains (equivalent, or waiting
    for a test): the first column of its tables. They are left out of a sample."""
    path = os.path.join(ROOT, SURVIVOR_LIST)
    text = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
    return set(re.findall(r"^\|\s*`([0-9a-f]{8})`\s*\|", text, re.M))

# ------------------------------------------------------------------ the build

def copy_tree():
    """The tracked and new files of the working tree into build/mutants/src,
    rewriting only those that changed, so that unchanged objects stay built."""
    files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                           check=True, capture_output=True).stdout.decode().split("\0")
    for name in files:
        source, copy = os.path.join(ROOT, name), os.path.join(SRC, name)
        if not name or name.startswith("build/") or not os.path.isfile(source):
            continue
        data = open(source, "rb").read()
        if not os.path.exists(copy) or open(copy, "rb").read() != data:
            os.makedirs(os.path.dirname(copy), exist_ok=True)
            open(copy, "wb").write(data)
    header = sorted(glob.glob(FUZZ_HEADER))
    if not header:
        sys.exit("no FuzzedDataProvider.h: install clang (tools/setup-debian.sh does)")
    os.makedirs(os.path.join(OUT, "include", "fuzzer"), exist_ok=True)
    shutil.copy(header[-1], os.path.join(OUT, "include", "fuzzer"))


def sources_of(cmake, command, name):
    text = open(os.path.join(SRC, cmake)).read()
    return re.search(rf"{command}\({name}\s+(?:STATIC\s+)?([^)]*)\)", text).group(1).split()


def programs():
    """Each program the run builds: its sources, and how to run it."""
    lib = lambda name: sources_of("CMakeLists.txt", "add_library", name)
    core = lib("harkwell_core") + lib("harkwell_simulated")
    tests = ["tests/host/" + s for s in sources_of("tests/host/CMakeLists.txt", "add_executable", "host_tests")]
    replay = lambda name: [d for d in (f"fuzz/corpus/{name}", f"fuzz/regressions/{name}")
                           if os.path.isdir(os.path.join(SRC, d))]
    return {
        "host_tests": (tests + core + lib("harkwell_wave") + lib("harkwell_command_line"), ["--gtest_fail_fast"]),
        "roster_replay": (["fuzz/roster_fuzz.cpp", "fuzz/replay_main.cpp"] + core, replay("roster")),
        "wave_replay": (["fuzz/wave_fuzz.cpp", "fuzz/replay_main.cpp"] + lib("harkwell_wave"), replay("wave")),
        "command_line_replay": (["fuzz/command_line_fuzz.cpp", "fuzz/replay_main.cpp"] + lib("harkwell_command_line"),
                                replay("command_line")),
    }


def obj(folder, source):
    return os.path.join(folder, source.replace("/", "_") + ".o")


def compile_one(source, output, overlay=None, input_file=None):
    includes = (["-I", overlay] if overlay else []) + ["-I", ".", "-I", os.path.join(OUT, "include")]
    return subprocess.run(FLAGS + includes + ["-MMD", "-c", input_file or source, "-o", output], cwd=SRC,
                          capture_output=True, text=True)


def link(program, objects, output):
    libs = ["-lgtest_main", "-lgtest"] if program == "host_tests" else []
    return subprocess.run(FLAGS + objects + libs + ["-o", output], capture_output=True, text=True)


def dependencies(object_file):
    """The files an object was built from, relative to the copy."""
    text = open(object_file[:-2] + ".d").read().replace("\\\n", " ")
    return {os.path.normpath(p) for p in text.split(":", 1)[1].split()}


def stale(object_file):
    if not os.path.exists(object_file) or not os.path.exists(object_file[:-2] + ".d"):
        return True
    built = os.path.getmtime(object_file)
    return any(not os.path.exists(os.path.join(SRC, d)) or os.path.getmtime(os.path.join(SRC, d)) > built
               for d in dependencies(object_file))


def run(binary, arguments, timeout):
    """True when the program passes; a failure, a signal or a hang is False."""
    try:
        return subprocess.run([binary] + arguments, cwd=SRC, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def clean_build(jobs):
    clean = os.path.join(OUT, "clean")
    os.makedirs(clean, exist_ok=True)
    progs = programs()
    sources = sorted({s for srcs, _ in progs.values() for s in srcs})
    with futures.ThreadPoolExecutor(jobs) as pool:
        todo = [s for s in sources if stale(obj(clean, s))]
        for source, result in zip(todo, pool.map(lambda s: compile_one(s, obj(clean, s)), todo)):
            if result.returncode:
                sys.exit(f"the unmutated tree does not build: {source}\n{result.stderr}")
    timeouts = {}
    for program, (srcs, arguments) in progs.items():
        binary = os.path.join(clean, program)
        result = link(program, [obj(clean, s) for s in srcs], binary)
        started = time.monotonic()
        if result.returncode or not run(binary, arguments, 600):
            sys.exit(f"the unmutated tree fails: {program}\n{result.stderr}")
        timeouts[program] = max(10 * (time.monotonic() - started), 5.0)
    deps = {s: dependencies(obj(clean, s)) for s in sources}
    return progs, deps, timeouts


def try_mutant(mutant, progs, deps, timeouts):
    """'killed', 'survived' or 'not viable'."""
    work = os.path.join(OUT, "work", mutant.id)
    shutil.rmtree(work, ignore_errors=True)
    overlay = os.path.join(work, "overlay")
    os.makedirs(os.path.join(overlay, os.path.dirname(mutant.path)))
    lines = open(os.path.join(SRC, mutant.path), encoding="utf-8").read().split("\n")
    lines[mutant.first:mutant.last + 1] = [mutant.new]
    open(os.path.join(overlay, mutant.path), "w", encoding="utf-8").write("\n".join(lines))
    try:
        touched = sorted(s for s, d in deps.items() if mutant.path in d)
        for source in touched:
            own = os.path.join(overlay, source) if source == mutant.path else None
            if compile_one(source, obj(work, source), overlay, own).returncode:
                return "not viable"
        for program, (srcs, arguments) in progs.items():
            if not set(srcs) & set(touched):
                continue  # it passed unmutated
            objects = [obj(work if s in touched else os.path.join(OUT, "clean"), s) for s in srcs]
            binary = os.path.join(work, program)
            if link(program, objects, binary).returncode:
                return "not viable"
            if not run(binary, arguments, timeouts[program]):
                return "killed"
        return "survived"
    finally:
        shutil.rmtree(work, ignore_errors=True)

# ------------------------------------------------------------------- the run

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sample", type=int, help="run this many mutants that compile, explained survivors left out")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--only", nargs="+", metavar="ID")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--jobs", type=int, default=os.cpu_count())
    args = parser.parse_args()
    started = time.monotonic()
    # A fault that allocates without end fails its run instead of the machine.
    resource.setrlimit(resource.RLIMIT_AS, (8 << 30, resource.getrlimit(resource.RLIMIT_AS)[1]))

    os.makedirs(SRC, exist_ok=True)
    copy_tree()
    mutants = all_mutants(SRC)
    documented = documented_survivors()
    if args.list:
        for mutant in mutants:
            print(mutant.describe() + ("  (documented)" if mutant.id in documented else ""))
        print(f"{len(mutants)} mutants")
        return 0
    if args.only:
        mutants = [m for m in mutants if m.id in args.only]
    queue = mutants
    if args.sample:
        queue = [m for m in mutants if m.id not in documented]
        random.Random(args.seed).shuffle(queue)
    progs, deps, timeouts = clean_build(args.jobs)
    print(f"unmutated tree built and passing ({time.monotonic() - started:.0f} s)", flush=True)

    results, lock = {}, threading.Lock()
    wanted = args.sample or len(queue)

    def one(mutant):
        outcome = try_mutant(mutant, progs, deps, timeouts)
        with lock:
            results[mutant.id] = outcome
            print(f"[{len(results):3}] {outcome:10} {mutant.describe()}", flush=True)

    with futures.ThreadPoolExecutor(args.jobs) as pool:
        taken = 0
        while taken < len(queue):  # a sample is topped up for mutants that did not compile
            viable = sum(1 for r in results.values() if r != "not viable")
            batch = queue[taken:taken + wanted - viable]
            if not batch:
                break
            list(pool.map(one, batch))
            taken += len(batch)

    ran = [m for m in queue if results.get(m.id) in ("killed", "survived")]
    survivors = [m for m in ran if results[m.id] == "survived"]
    killed = len(ran) - len(survivors)
    print(f"\nmutants: {len(ran)}, killed {killed} ({100 * killed / max(len(ran), 1):.1f}%)")
    print(f"not viable (did not compile): {sum(1 for r in results.values() if r == 'not viable')}")
    print(f"time: {time.monotonic() - started:.0f} s")
    if survivors:
        print("survivors:")
        for mutant in survivors:
            print("  " + mutant.describe() + ("  (documented)" if mutant.id in documented else ""))
    return 1 if any(m.id not in documented for m in survivors) else 0


if __name__ == "__main__":
    sys.exit(main())
