#!/usr/bin/env python3
"""Plants one fault at a time in the portable product code and runs the host
tests and the saved fuzz inputs against it. docs/mutants.md says how, which
faults it plants, its figures and the faults that change nothing, which a
sample leaves out; it exits 1 when a fault survives that the document does
not list.

    tools/mutate.py                          every mutant
    tools/mutate.py --sample 20 [--seed S]   20 that compile, chosen by the seed
                                             (default: the checked-out commit's hash)
    tools/mutate.py --only ID [ID ...]       just these
    tools/mutate.py --list                   the mutants, run none
"""
import argparse, concurrent.futures as futures, hashlib, json, os, random, re
import shlex, shutil, subprocess, sys, threading, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRESET = "mutants"
TREE = os.path.join(ROOT, "build", PRESET)
WORK = os.path.join(TREE, "planted")
SCOPE = re.compile(r"^(monitor|notify|platform|ui)/(?!simulated_platform\.)")
SURVIVOR_LIST = "docs/mutants.md"
# A fault that allocates without end, or reads past a buffer, fails its run.
ENVIRONMENT = {"ASAN_OPTIONS": "hard_rss_limit_mb=4096:detect_leaks=1", "UBSAN_OPTIONS": "print_stacktrace=0",
               "GTEST_FAIL_FAST": "1"}

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
STATEMENT = r"(?:^\s*|\)\s+|\{\s+|\belse\s+)"  # where a statement can begin on a line
FUNCTION = re.compile(r"^(?:(?:constexpr|inline|static)\s+)*([A-Za-z_][\w:<>, ]*?[\w>&])\s+[\w:]+\(", re.M)
CONSTANT = re.compile(r"^inline constexpr\b", re.M)  # a header's constant, to the end of its statement


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
    # A source file's every line of code; a header's inside its functions and constants.
    constants = {i for m in CONSTANT.finditer(code)
                 for i in range(code.count("\n", 0, m.start()), code.count("\n", 0, code.find(";", m.start())) + 1)}
    mutable = [i for i, line in enumerate(clines) if line.strip() and not line.lstrip().startswith("#") and
               (path.endswith(".cpp") or i in returns or i in constants)]

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

    def after_condition(m, line):  # a statement after ")" only when it closes a condition
        return m.group(0).lstrip()[:1] != ")" or re.search(r"\b(if|for|while)\s*\(", line[:m.start(1)])

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
        for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", line):
            emit(base + m.start(), base + m.end(), "||" if m.group(1) == "&&" else "&&", "logic")
        lvalue = r"(?:[\w:.>-]|\[[^\]]*\])+"
        for m in re.finditer(STATEMENT + rf"((?:\+\+|--){lvalue}|{lvalue}(?:\+\+|--|\s*[-+*/|&]?=(?!=)))", line):
            if m.group(1).rstrip("=+-*/|& ") not in KEYWORDS and statement_end(base + m.start(1)) > 0 and \
                    after_condition(m, line):
                emit(base + m.start(1), statement_end(base + m.start(1)), "(void)0", "assign")
        for m in re.finditer(STATEMENT + r"((?:[\w:]+(?:\.|->))*([\w:]+)\s*\()", line):
            if m.group(2) in KEYWORDS:
                continue
            at = base + m.start(1)
            close_at = closing(code, base + m.end(1) - 1)
            if close_at > 0 and code[close_at + 1:close_at + 2] == ";" and after_condition(m, line):
                emit(at, close_at + 1, "(void)0", "call")
        for m in re.finditer(r"\breturn\s+", line):
            end = statement_end(base + m.end())
            value, kind = " ".join(text[base + m.end():end].split()), returns.get(i) or ""
            if kind == "void" or end < 0:
                continue
            if kind.endswith("&"):
                new = None  # a reference has no stand-in
            elif value in ("true", "false"):
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


def all_mutants(paths):
    result, ids, places = [], set(), set()
    for path in sorted(paths):
        text = open(os.path.join(ROOT, path), encoding="utf-8").read()
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


def equivalent_mutants():
    """Ids of the mutants docs/mutants.md explains as equivalent: the first
    column of its tables. A sample leaves them out."""
    path = os.path.join(ROOT, SURVIVOR_LIST)
    text = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
    return set(re.findall(r"^\|\s*`([0-9a-f]{8})`\s*\|", text, re.M))

# ------------------------------------------------------------------ the build

def ninja(*arguments):
    return subprocess.run(["ninja", "-C", TREE, *arguments], check=True, capture_output=True,
                          text=True).stdout.splitlines()


class Program:
    """One program a test runs: its link command and the sources it is built from."""

    def __init__(self, path, compile_commands):
        self.path = os.path.relpath(path, TREE)
        # The last command ninja would run for it is its link, ": && c++ ... && :".
        link = shlex.split(ninja("-t", "commands", self.path)[-1])
        self.link = link[link.index("&&") + 1:len(link) - 1 - link[::-1].index("&&")]
        self.sources = [s for s in ninja("-t", "inputs", self.path) if s in compile_commands]

    def link_command(self, objects, output):
        """Its link with `objects` for those of the tree (its own and those
        of the tree's libraries it links) and `output` for the program."""
        command, placed = [], False
        for word in self.link:
            ours = not os.path.isabs(word) and word.endswith((".o", ".a"))
            if ours and not placed:
                command += objects
            placed |= ours
            if not ours:
                command.append(word)
        command[command.index("-o") + 1] = output
        return command


class Build:
    """The preset's tree, built and passing unmutated: its tests, programs,
    compile commands and each object's dependencies."""

    def __init__(self, jobs):
        for command in (["cmake", "--preset", PRESET], ["cmake", "--build", "--preset", PRESET, "-j", str(jobs)],
                        ["ctest", "--test-dir", TREE, "--show-only=json-v1"]):
            result = subprocess.run(command, cwd=ROOT, capture_output=True, text=True)
            if result.returncode:
                sys.exit(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")
        self.tests = [{"name": test["name"], "command": test["command"],
                       "cwd": next((p["value"] for p in test.get("properties", []) if p["name"] == "WORKING_DIRECTORY"),
                                   TREE)} for test in json.loads(result.stdout)["tests"]]
        database = json.load(open(os.path.join(TREE, "compile_commands.json")))
        self.compile = {entry["file"]: shlex.split(entry["command"]) for entry in database}
        self.programs = {path: Program(path, self.compile) for path in {test["command"][0] for test in self.tests}}
        sources = {source for program in self.programs.values() for source in program.sources}
        self.compile = {source: command for source, command in self.compile.items() if source in sources}
        self.objects = {source: self.output(source) for source in self.compile}
        self.depends = {}  # object: the files it was compiled from
        for line in ninja("-t", "deps", *self.objects.values()):
            if not line.startswith(" "):
                current = self.depends.setdefault(line.split(":")[0], set())
            elif line.strip():
                current.add(os.path.normpath(line.strip()))
        self.timeouts = {}
        for test in self.tests:
            started = time.monotonic()
            if not run(test["command"], test["cwd"], 600):
                sys.exit(f"the unmutated tree fails its test {test['name']}")
            self.timeouts[test["name"]] = max(10 * (time.monotonic() - started), 5.0)

    def output(self, source):
        command = self.compile[source]
        return command[command.index("-o") + 1]

    def scope(self):
        """The product files the tests' programs compile, relative to the tree."""
        files = {os.path.relpath(f, ROOT) for source in self.compile for f in self.depends[self.objects[source]]}
        return {f for f in files if SCOPE.match(f)}


def run(command, cwd, timeout):
    """True when the program passes; a failure, a sanitizer's report, a
    signal or a hang is False."""
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env={**os.environ, **ENVIRONMENT}, timeout=timeout).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def try_mutant(mutant, build):
    """'killed', 'survived' or 'not viable'."""
    work = os.path.join(WORK, mutant.id)
    shutil.rmtree(work, ignore_errors=True)
    overlay = os.path.join(work, "overlay")
    mutated = os.path.join(ROOT, mutant.path)
    os.makedirs(os.path.join(overlay, os.path.dirname(mutant.path)))
    lines = open(mutated, encoding="utf-8").read().split("\n")
    lines[mutant.first:mutant.last + 1] = [mutant.new]
    open(os.path.join(overlay, mutant.path), "w", encoding="utf-8").write("\n".join(lines))
    try:
        # The sources compiled from the mutated file, each with the overlay's
        # copy of it found first, compiled when a test first needs it; the
        # tests that need the fewest first, as a fault most often fails the
        # first test it reaches and the rest need not be built.
        objects = {}
        dependent = {s for s in build.compile if mutated in build.depends[build.objects[s]]}
        needs = lambda test: [s for s in build.programs[test["command"][0]].sources if s in dependent]
        for test in sorted((t for t in build.tests if needs(t)), key=lambda t: len(needs(t))):
            for source in needs(test):
                if source in objects:
                    continue
                objects[source] = os.path.join(work, build.objects[source])
                command = [build.compile[source][0], "-I", overlay] + build.compile[source][1:]
                command[command.index("-o") + 1] = objects[source]
                if source == mutated:
                    command[command.index(source)] = os.path.join(overlay, mutant.path)
                os.makedirs(os.path.dirname(objects[source]), exist_ok=True)
                if subprocess.run(command, cwd=TREE, capture_output=True).returncode:
                    return "not viable"
            program = build.programs[test["command"][0]]
            binary = os.path.join(work, program.path)
            if not os.path.exists(binary):
                os.makedirs(os.path.dirname(binary), exist_ok=True)
                link = program.link_command([objects.get(s, build.objects[s]) for s in program.sources], binary)
                if subprocess.run(link, cwd=TREE, capture_output=True).returncode:
                    return "not viable"
            if not run([binary] + test["command"][1:], test["cwd"], build.timeouts[test["name"]]):
                return "killed"
        return "survived"
    finally:
        shutil.rmtree(work, ignore_errors=True)

# ------------------------------------------------------------------- the run

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sample", type=int, help="run this many mutants that compile, equivalent ones left out")
    parser.add_argument("--seed", help="the sample's seed (default: the checked-out commit)")
    parser.add_argument("--only", nargs="+", metavar="ID")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--jobs", type=int, default=os.cpu_count())
    args = parser.parse_args()
    started = time.monotonic()

    build = Build(args.jobs)
    mutants = all_mutants(build.scope())
    equivalent = equivalent_mutants()
    if args.list:
        for mutant in mutants:
            print(mutant.describe() + ("  (equivalent)" if mutant.id in equivalent else ""))
        print(f"{len(mutants)} mutants")
        return 0
    if args.only:
        mutants = [m for m in mutants if m.id in args.only]
    queue = mutants
    if args.sample:
        seed = args.seed or subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True,
                                           text=True).stdout.strip() or "1"
        print(f"a sample of {args.sample} of {len(mutants)} mutants, seed {seed}")
        queue = [m for m in mutants if m.id not in equivalent]
        random.Random(seed).shuffle(queue)
    print(f"unmutated tree built and passing ({time.monotonic() - started:.0f} s)", flush=True)

    results, lock = {}, threading.Lock()
    wanted = args.sample or len(queue)

    def one(mutant):
        outcome = try_mutant(mutant, build)
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
            print("  " + mutant.describe() + ("  (equivalent)" if mutant.id in equivalent else ""))
    return 1 if any(m.id not in equivalent for m in survivors) else 0


if __name__ == "__main__":
    sys.exit(main())
