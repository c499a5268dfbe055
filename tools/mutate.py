#!/usr/bin/env python3
"""Plants one fault at a time in the portable product code and runs the host tests and the saved fuzz
inputs against it; exits 1 when a fault survives that docs/mutants.md, which says how and why, does
not list as equivalent.

    tools/mutate.py                          every mutant
    tools/mutate.py --sample 20 [--seed S]   20 that compile, chosen by the seed
                                             (default: the checked-out commit's hash)
    tools/mutate.py --only ID [ID ...]       just these
    tools/mutate.py --list                   the mutants, run none
"""
import argparse, concurrent.futures as futures, hashlib, itertools, json, os, random, re
import shlex, shutil, subprocess, sys, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRESET = "mutants"
TREE = os.path.join(ROOT, "build", PRESET)
WORK = os.path.join(TREE, "planted")
SCOPE = re.compile(r"^(monitor|notify|platform|ui)/(?!simulated_platform\.)")
# A fault that allocates without end, or reads past a buffer, fails its run.
ENVIRONMENT = {"ASAN_OPTIONS": "hard_rss_limit_mb=4096:detect_leaks=1", "UBSAN_OPTIONS": "print_stacktrace=0",
               "GTEST_FAIL_FAST": "1"}

# ---------------------------------------------------------------- the mutants

# A comment, or a string or character literal whose quotes stay. An unterminated one runs to the end.
LITERAL = re.compile(r"//[^\n]*|/(?=\*).*?(?:\*/|\Z)|([\"'])((?:\\.?|(?!\1)[^\\])*)(\1?)", re.S)
CMP = {"==": ["!="], "!=": ["=="], "<": ["<=", ">"], "<=": ["<", ">="], ">": [">=", "<"], ">=": [">", "<="]}
INTEGRAL = re.compile(r"^(char|int|long|unsigned|std::u?int\d+_t|std::size_t)$")
KEYWORDS = {"if", "for", "while", "switch", "return", "sizeof", "case", "else", "do"}
STATEMENT = r"(?:^\s*|\)\s+|\{\s+|\belse\s+)"  # where a statement can begin on a line
LVALUE = r"(?:[\w:.>-]|\[[^\]]*\])+"
FUNCTION = re.compile(r"^(?:(?:constexpr|inline|static)\s+)*([A-Za-z_][\w:<>, ]*?[\w>&])\s+[\w:]+\(", re.M)
CONSTANT = re.compile(r"^inline constexpr\b", re.M)  # a header's constant, to the end of its statement


def closing(code, open_at):
    """Offset of the bracket that closes the one at `open_at`, or -1."""
    depth = 0
    for k in range(open_at, len(code)):
        depth += {"(": 1, "{": 1, ")": -1, "}": -1}.get(code[k], 0)
        if depth == 0:
            return k
    return -1


def mutants_of(path, text):
    """Every mutant of one file as (first line, last line, operator, old lines, new lines), lines 0-based."""
    blank = lambda s: re.sub(r"[^\n]", " ", s)
    # The rules see only code: comments and literals blanked, offsets and newlines kept.
    code = LITERAL.sub(lambda m: m[1] + blank(m[2]) + m[3] if m[1] else blank(m[0]), text)
    starts = [0, *itertools.accumulate(len(line) + 1 for line in text.split("\n"))]
    line_of = lambda at: code.count("\n", 0, at)
    found, places = [], set()

    returns = {}  # line: the return type of the function defined around it, at the start of a line
    for m in FUNCTION.finditer(code):
        after = closing(code, m.end() - 1)
        body = len(code) - len(code[after + 1:].lstrip())
        if after < 0 or m[1].split()[0] in ("namespace", "using", "return") or code[body:body + 1] != "{":
            continue
        for i in range(line_of(m.start()), line_of(closing(code, body)) + 1):
            returns[i] = m[1]
    # A source file's every line of code; a header's inside its functions and constants.
    constants = {i for m in CONSTANT.finditer(code)
                 for i in range(line_of(m.start()), line_of(code.find(";", m.start())) + 1)}
    mutable = [i for i, line in enumerate(code.split("\n")) if line.strip() and not line.lstrip().startswith("#")
               and (path.endswith(".cpp") or i in returns or i in constants)]

    def emit(begin, end, new, op):
        first, last = line_of(begin), line_of(max(begin, end - 1))
        old = text[starts[first]:starts[last + 1] - 1]
        mutated = old[:begin - starts[first]] + new + old[end - starts[first]:]
        if mutated != old and (first, last, mutated) not in places:  # two rules, one change
            places.add((first, last, mutated))
            found.append((first, last, op, old, mutated))

    def statement_end(at):  # the ';' that ends the statement from `at`, brackets balanced
        k = at
        while k < len(code) and code[k] != ";":
            k = closing(code, k) if code[k] in "({" else k
            if k < 0:
                return -1
            k += 1
        return k if k < len(code) else -1

    def after_condition(m, line):  # a statement after ")" only when it closes a condition
        return m[0].lstrip()[:1] != ")" or re.search(r"\b(if|for|while)\s*\(", line[:m.start(1)])

    for i in mutable:
        line, base = code[starts[i]:starts[i + 1] - 1], starts[i]
        for m in re.finditer(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)", line):
            for new in CMP[m[1]]:
                emit(base + m.start(), base + m.end(), new, "cmp")
        for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|[0-9]+)[uUlL]*(?![\w.'])", line):
            value, hexadecimal = int(m[1], 0), m[1][:2] in ("0x", "0X")
            for new in (value + 1, value - 1) if value else (1,):
                emit(base + m.start(1), base + m.end(1), f"0x{new:X}" if hexadecimal else str(new), "const")
        for m in re.finditer(r"\b(if|while)\s*\(", line):
            begin = base + m.end()
            end = closing(code, begin - 1)
            emit(begin, end, f"!({text[begin:end]})", "negate")
            depth, operands, start = 0, [], begin
            for k in range(begin, end + 1):
                if k < end and code[k] in "()":
                    depth += 1 if code[k] == "(" else -1
                elif k == end or (depth == 0 and code[k:k + 2] in ("&&", "||")):
                    operands.append((start, k))
                    start = k + 2
            for a, b in operands if len(operands) > 1 else []:
                piece = text[a:b]
                a, b = a + len(piece) - len(piece.lstrip()), b - (len(piece) - len(piece.rstrip()))
                emit(a, b, f"!({text[a:b]})", "negate")
        for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", line):
            emit(base + m.start(), base + m.end(), "||" if m[1] == "&&" else "&&", "logic")
        for m in re.finditer(STATEMENT + rf"((?:\+\+|--){LVALUE}|{LVALUE}(?:\+\+|--|\s*[-+*/|&]?=(?!=)))", line):
            end = statement_end(base + m.start(1))
            if m[1].rstrip("=+-*/|& ") not in KEYWORDS and end > 0 and after_condition(m, line):
                emit(base + m.start(1), end, "(void)0", "assign")
        for m in re.finditer(STATEMENT + r"((?:[\w:]+(?:\.|->))*([\w:]+)\s*\()", line):
            end = closing(code, base + m.end(1) - 1)
            if m[2] not in KEYWORDS and end > 0 and code[end + 1:end + 2] == ";" and after_condition(m, line):
                emit(base + m.start(1), end + 1, "(void)0", "call")
        for m in re.finditer(r"\breturn\s+", line):
            end = statement_end(base + m.end())
            value, kind = " ".join(text[base + m.end():end].split()), returns.get(i) or ""
            if kind == "void" or end < 0 or kind.endswith("&"):  # a reference has no stand-in
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


def all_mutants(paths):
    """Each mutant as a dict: its id, its place, its new lines and the line that describes it."""
    mutants, ids = [], set()
    for path in sorted(paths):
        for first, last, op, old, new in mutants_of(path, open(os.path.join(ROOT, path), encoding="utf-8").read()):
            key = hashlib.sha1("\0".join((path, op, old, new)).encode()).hexdigest()[:8]
            while key in ids:  # the same change to two equal lines
                key = hashlib.sha1(key.encode()).hexdigest()[:8]
            ids.add(key)
            text = f"{path}:{first + 1} [{key}] {op}: {' '.join(old.split())}  ->  {' '.join(new.split())}"
            mutants.append({"id": key, "path": path, "first": first, "last": last, "new": new, "text": text})
    return mutants

# ------------------------------------------------------------------ the build

def ninja(*arguments):
    return subprocess.run(["ninja", "-C", TREE, *arguments], check=True, capture_output=True,
                          text=True).stdout.splitlines()


def run(command, cwd, timeout):
    """True when the program passes; a failure, a sanitizer's report, a signal or a hang is False."""
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env={**os.environ, **ENVIRONMENT}, timeout=timeout).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def prepare(jobs):
    """The preset's tree, built and passing unmutated: its tests with their timeouts, the programs they run
    with their links and sources, and those sources with their compile commands, objects and the files each
    was compiled from."""
    for command in (["cmake", "--preset", PRESET], ["cmake", "--build", "--preset", PRESET, "-j", str(jobs)],
                    ["ctest", "--test-dir", TREE, "--show-only=json-v1"]):
        result = subprocess.run(command, cwd=ROOT, capture_output=True, text=True)
        if result.returncode:
            sys.exit(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")
    tests = [{"name": test["name"], "command": test["command"],
              "cwd": next((p["value"] for p in test.get("properties", []) if p["name"] == "WORKING_DIRECTORY"), TREE)}
             for test in json.loads(result.stdout)["tests"]]
    database = json.load(open(os.path.join(TREE, "compile_commands.json")))
    compile_commands = {entry["file"]: shlex.split(entry["command"]) for entry in database}
    programs = {}
    for path in {test["command"][0] for test in tests}:
        # The last command ninja would run for it is its link, ": && c++ ... && :".
        link = shlex.split(ninja("-t", "commands", os.path.relpath(path, TREE))[-1])
        programs[path] = {"link": link[link.index("&&") + 1:len(link) - 1 - link[::-1].index("&&")],
                          "sources": [s for s in ninja("-t", "inputs", os.path.relpath(path, TREE))
                                      if s in compile_commands]}
    sources = {}
    for source in {s for program in programs.values() for s in program["sources"]}:
        command = compile_commands[source]
        sources[source] = {"command": command, "object": command[command.index("-o") + 1], "depends": set()}
    of_object = {source["object"]: source for source in sources.values()}
    for line in filter(str.strip, ninja("-t", "deps", *of_object)):  # a blank line ends an object's
        if line.startswith(" "):
            depends.add(os.path.normpath(line.strip()))
        else:
            depends = of_object[line.split(":")[0]]["depends"]
    for test in tests:
        started = time.monotonic()
        if not run(test["command"], test["cwd"], 600):
            sys.exit(f"the unmutated tree fails its test {test['name']}")
        test["timeout"] = max(10 * (time.monotonic() - started), 5.0)
    return tests, programs, sources


def try_mutant(mutant, tests, programs, sources):
    """'killed', 'survived' or 'not viable'."""
    work = os.path.join(WORK, mutant["id"])
    shutil.rmtree(work, ignore_errors=True)
    overlay = os.path.join(work, "overlay")
    mutated = os.path.join(ROOT, mutant["path"])
    os.makedirs(os.path.join(overlay, os.path.dirname(mutant["path"])))
    lines = open(mutated, encoding="utf-8").read().split("\n")
    lines[mutant["first"]:mutant["last"] + 1] = [mutant["new"]]
    open(os.path.join(overlay, mutant["path"]), "w", encoding="utf-8").write("\n".join(lines))
    try:
        # The sources compiled from the mutated file, each with the overlay's copy of it found first, compiled
        # when a test first needs it; the tests that need the fewest first, as a fault most often fails the
        # first test it reaches and the rest need not be built.
        objects = {}
        needs = lambda test: [s for s in programs[test["command"][0]]["sources"] if mutated in sources[s]["depends"]]
        for test in sorted((t for t in tests if needs(t)), key=lambda t: len(needs(t))):
            for source in [s for s in needs(test) if s not in objects]:
                objects[source] = os.path.join(work, sources[source]["object"])
                command = [sources[source]["command"][0], "-I", overlay] + sources[source]["command"][1:]
                command[command.index("-o") + 1] = objects[source]
                if source == mutated:
                    command[command.index(source)] = os.path.join(overlay, mutant["path"])
                os.makedirs(os.path.dirname(objects[source]), exist_ok=True)
                if subprocess.run(command, cwd=TREE, capture_output=True).returncode:
                    return "not viable"
            program = programs[test["command"][0]]
            binary = os.path.join(work, os.path.relpath(test["command"][0], TREE))
            if not os.path.exists(binary):
                # Its link, with all its objects, its libraries' too, where the tree's first object or library was.
                ours = [k for k, word in enumerate(program["link"])
                        if not os.path.isabs(word) and word.endswith((".o", ".a"))]
                link = [word for k, word in enumerate(program["link"]) if k not in ours]
                link[ours[0]:ours[0]] = [objects.get(s, sources[s]["object"]) for s in program["sources"]]
                link[link.index("-o") + 1] = binary
                os.makedirs(os.path.dirname(binary), exist_ok=True)
                if subprocess.run(link, cwd=TREE, capture_output=True).returncode:
                    return "not viable"
            if not run([binary] + test["command"][1:], test["cwd"], test["timeout"]):
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

    tests, programs, sources = prepare(args.jobs)
    scope = {os.path.relpath(f, ROOT) for source in sources.values() for f in source["depends"]}
    mutants = all_mutants(f for f in scope if SCOPE.match(f))
    # docs/mutants.md's tables of survivors: their first column, the ids of the equivalent mutants.
    equivalent = set(re.findall(r"^\|\s*`([0-9a-f]{8})`\s*\|",
                                open(os.path.join(ROOT, "docs/mutants.md"), encoding="utf-8").read(), re.M))
    listed = lambda mutant: mutant["text"] + ("  (equivalent)" if mutant["id"] in equivalent else "")
    if args.list:
        for mutant in mutants:
            print(listed(mutant))
        print(f"{len(mutants)} mutants")
        return 0
    if args.only:
        mutants = [m for m in mutants if m["id"] in args.only]
    queue = mutants
    if args.sample:
        seed = args.seed or subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True,
                                           text=True).stdout.strip() or "1"
        print(f"a sample of {args.sample} of {len(mutants)} mutants, seed {seed}")
        queue = [m for m in mutants if m["id"] not in equivalent]
        random.Random(seed).shuffle(queue)
    print(f"unmutated tree built and passing ({time.monotonic() - started:.0f} s)", flush=True)

    results = {}
    with futures.ThreadPoolExecutor(args.jobs) as pool:
        # A sample is topped up for the mutants that did not compile.
        while len(results) < len(queue):
            viable = sum(r != "not viable" for r in results.values())
            batch = queue[len(results):len(results) + (args.sample or len(queue)) - viable]
            if not batch:
                break
            running = {pool.submit(try_mutant, mutant, tests, programs, sources): mutant for mutant in batch}
            for done in futures.as_completed(running):
                results[running[done]["id"]] = outcome = done.result()
                print(f"[{len(results):3}] {outcome:10} {running[done]['text']}", flush=True)

    ran = [m for m in queue if results.get(m["id"]) in ("killed", "survived")]
    survivors = [m for m in ran if results[m["id"]] == "survived"]
    killed = len(ran) - len(survivors)
    print(f"\nmutants: {len(ran)}, killed {killed} ({100 * killed / max(len(ran), 1):.1f}%)")
    print(f"not viable (did not compile): {list(results.values()).count('not viable')}")
    print(f"time: {time.monotonic() - started:.0f} s")
    if survivors:
        print("survivors:")
        for mutant in survivors:
            print("  " + listed(mutant))
    return 1 if any(m["id"] not in equivalent for m in survivors) else 0


if __name__ == "__main__":
    sys.exit(main())
