#!/usr/bin/python3
"""The tools' shared Python, one job a subcommand (`toolbox JOB ...` in tools/lib.sh):

  release DIST VERSION       the two release zips, from the package trees
  exe ZIP FILE               a zip's Harkwell.exe into FILE
  extract ZIP FOLDER         every member of a zip into FOLDER
  with-exe ZIP EXE OUT       ZIP with EXE as its Harkwell.exe, all else as it is
  timestamp-server CNF PORT  an RFC 3161 service (openssl ts with CNF) on a loopback port, written to PORT
  compile-db ROOT TREE... -- SOURCE...
                             each TREE/static-analysis/compile_commands.json: the SOURCEs it compiles first
  untaken LISTING REPORT     fails on a line with a branch no test takes (gcovr's JSON REPORT)
                             that LISTING does not name as `path:line`
Run with Debian's python (/usr/bin/python3): the zips' bytes come from its zlib.
"""
import http.server, json, os, re, subprocess, sys, time, zipfile

EXE = "Harkwell.exe"


def crlf(path):  # the texts are read in Notepad
    return open(path, "rb").read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def release(dist, version):
    """Every time in the zips comes from SOURCE_DATE_EPOCH, every mode is fixed:
    the bytes depend on the commit alone (tools/check-reproducible.sh)."""
    stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
    for flavour, tree in (("win64", "package-x64"), ("win32", "package-x86")):
        entries = [(EXE, open(f"build/{tree}/bin/{EXE}", "rb").read(), 0o755),
                   ("README.txt", crlf("packaging/README.txt"), 0o644), ("LICENSE", crlf("LICENSE"), 0o644)]
        entries += [(f"sounds/{name}", open(f"build/{tree}/bin/sounds/{name}", "rb").read(), 0o644)
                    for name in ("join.wav", "leave.wav")]
        with zipfile.ZipFile(f"{dist}/Harkwell-{version}-{flavour}.zip", "w") as archive:
            for name, data, mode in entries:
                info = zipfile.ZipInfo(name, date_time=stamp)
                info.create_system = 3  # Unix, so that the modes mean what they say
                info.external_attr = (0o100000 | mode) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, data, compresslevel=9)


def exe(zip_path, out):
    open(out, "wb").write(zipfile.ZipFile(zip_path).read(EXE))


def extract(zip_path, folder):
    zipfile.ZipFile(zip_path).extractall(folder)


def with_exe(zip_path, exe_path, out):
    with zipfile.ZipFile(zip_path) as source, zipfile.ZipFile(out, "w") as target:
        for info in source.infolist():
            data = open(exe_path, "rb").read() if info.filename == EXE else source.read(info)
            target.writestr(info, data, compresslevel=9)


def timestamp_server(config, port_file):
    class Stamp(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            query = self.rfile.read(int(self.headers["Content-Length"]))
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
                                    "-out", "/dev/stdout"], input=query, capture_output=True, check=True).stdout
            self.send_response(200)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def log_message(self, *args):
            pass

    service = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
    with open(port_file + ".new", "w") as port:
        port.write(str(service.server_port))
    os.rename(port_file + ".new", port_file)  # whole, or not there yet
    service.serve_forever()


def compile_db(root, *arguments):
    """A file missing from every tree fails, rather than going unchecked."""
    split = arguments.index("--")
    trees, chosen = arguments[:split], {tree: [] for tree in arguments[:split]}
    databases = {tree: json.load(open(os.path.join(tree, "compile_commands.json"))) for tree in trees}
    for source in arguments[split + 1:]:
        path = os.path.join(root, source)
        found = next(((tree, entry) for tree in trees for entry in databases[tree] if entry["file"] == path), None)
        if not found:
            sys.exit(f"{source}: no compile command in {' or '.join(trees)}")
        chosen[found[0]].append(found[1])
    for tree, commands in chosen.items():
        os.makedirs(os.path.join(tree, "static-analysis"), exist_ok=True)
        with open(os.path.join(tree, "static-analysis", "compile_commands.json"), "w") as out:
            json.dump(commands, out, indent=1)


def untaken(listing, report):
    """Prints each line that is missing as a row to fill in; a listed line
    that a test now reaches is only named, as Wine's timing moves a few."""
    listed = set()
    for path, lines in re.findall(r"`((?:monitor|notify|platform|ui)/[^`:]+):([0-9, -]+)", open(listing).read()):
        for part in lines.split(","):
            first, _, last = part.strip().partition("-")
            listed.update((path, line) for line in range(int(first), int(last or first) + 1))
    lines = [(entry["file"], line) for entry in json.load(open(report))["files"] for line in entry["lines"]]
    branched = {(path, line["line_number"]) for path, line in lines if line["branches"]}
    found = {(path, line["line_number"]) for path, line in lines if any(b["count"] == 0 for b in line["branches"])}
    for path, line in sorted((listed & branched) - found):
        print(f"coverage: {path}:{line} is listed, and a test took its every branch this time")
    for path, line in sorted(found - listed):
        print(f"| `{path}:{line}` | (why no test takes a branch here) |")
    if found - listed:
        sys.stdout.flush()
        sys.exit(f"coverage: {len(found - listed)} lines with a branch no test takes are not in {listing}")


JOBS = {"release": release, "exe": exe, "extract": extract, "with-exe": with_exe,
        "timestamp-server": timestamp_server, "compile-db": compile_db,
        "untaken": untaken}

if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in JOBS:
        sys.exit(__doc__)
    JOBS[sys.argv[1]](*sys.argv[2:])
