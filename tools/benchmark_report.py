#!/usr/bin/env python3
"""Runs the benchmarks and writes BENCHMARKS.md from bench/BENCHMARKS.md.in, with its plots: every
figure from this run. tools/run-benchmarks.sh calls it after the builds, in a Wine session."""
import datetime, json, os, platform, re, statistics, string, subprocess, time
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
X64 = ROOT / "build/x64/bin"
X86 = ROOT / "build/x86/bin"
PHASE_SECONDS = int(os.environ.get("PHASE_SECONDS", "60"))
JOINS = int(os.environ.get("JOINS", "40"))
TICK_MS = 250
# Our Linux processes by the first 15 characters of their names, as Linux keeps them.
PROCESSES = {"Harkwell.exe": "harkwell", "simgame.exe": "simgame", "process_driver.exe"[:15]: "driver"}


def run(args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kwargs).stdout


def host_benchmark(tree="host-release"):
    out = ROOT / f"build/{tree}/host_bench.json"
    # The median of five runs: a tick of under a microsecond varies by a tenth between single runs.
    run([str(ROOT / f"build/{tree}/bin/host_tick_bench"), "--benchmark_min_time=0.2", "--benchmark_repetitions=5",
         "--benchmark_report_aggregates_only=true", f"--benchmark_out={out}", "--benchmark_out_format=json"])
    rows = []
    for b in (b for b in json.loads(out.read_text())["benchmarks"] if b.get("aggregate_name") == "median"):
        args = dict(part.split(":") for part in b["run_name"].split("/")[1:])
        rows.append({"players": int(args["players"]), "name_bytes": int(args["name_bytes"]),
                     "zero_cost": args["zero_cost_reads"] == "1", "ns_per_tick": b["real_time"],
                     "reads": b["reads_per_tick"], "allocs": b["allocs_per_tick"],
                     "ns_per_read": b["real_time"] / b["reads_per_tick"]})
    return rows


def same_shape(rows, row, zero_cost=True):
    return next(r for r in rows if r["zero_cost"] == zero_cost and r["players"] == row["players"]
                and r["name_bytes"] == row["name_bytes"])


def linux_processes(names):
    """Linux pids of `names` among Harkwell.exe, the simulated game, the driver and the wineserver of our
    prefix, once all of them run."""
    prefix = ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode()
    for _ in range(100):
        found = {}
        for entry in Path("/proc").iterdir():
            try:
                if entry.name.isdigit() and prefix in (entry / "environ").read_bytes().split(b"\0"):
                    comm = (entry / "comm").read_text().strip()
                    found["wineserver" if comm.startswith("wineserver") else PROCESSES.get(comm)] = int(entry.name)
            except OSError:
                continue
        if all(name in found for name in names):
            return found
        time.sleep(0.1)
    raise SystemExit(f"could not find the Linux processes {names}")


def cpu_seconds(pid):
    """CPU time of all the process's threads, as the scheduler counts it to the
    nanosecond; /proc/PID/stat's figures are sampled at each clock tick, too
    coarse for work done in bursts of a few milliseconds."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except OSError:
            pass  # a thread that ended just now
    return total / 1e9


def memory_kib(pid, key):
    return next((int(line.split()[1]) for line in Path(f"/proc/{pid}/status").read_text().splitlines()
                 if line.startswith(key + ":")), 0)


def process_figures(exe):
    """Runs the process driver beside the game with `exe` as Harkwell."""
    figures = {"latency": [], "cpu": {}, "floor": {}, "private": {}, "handles": {}, "gdi": {}, "windows": {}}
    driver = subprocess.Popen(["wine", str(X64 / "process_driver.exe"), "Z:" + str(exe).replace("/", "\\"),
                               str(PHASE_SECONDS), str(JOINS)], stdout=subprocess.PIPE, text=True)
    pids, marks = {}, {}

    def sample(*names):
        return (time.monotonic(), *(cpu_seconds(pids[name]) for name in names))

    for words in (line.split() for line in driver.stdout):
        key = words[0] if words else ""
        if key == "ERROR":
            raise SystemExit("process driver: " + " ".join(words))
        if key == "FLOOR" and words[1] == "BEGIN":
            pids = {**pids, **linux_processes(("driver", "wineserver"))}
            marks["floor"] = sample("driver", "wineserver")
        elif key == "FLOOR":
            # Measured at the start and again at the end; the floor is their mean.
            end, start, reads = sample("driver", "wineserver"), marks["floor"], int(words[2])
            for name, at in (("wall_us", 0), ("own_us", 1), ("server_us", 2)):
                figures["floor"].setdefault(name, []).append((end[at] - start[at]) / reads * 1e6)
        elif key == "STARTUP_MS":
            figures["startup_ms"] = float(words[1])
            pids = linux_processes(("harkwell", "wineserver", "simgame"))
        elif key == "PHASE" and words[2] == "BEGIN":
            # The driver says each phase's reads per tick, as the tests count them.
            marks[words[1]] = (sample("harkwell", "wineserver"), int(words[3]), int(words[4]))
        elif key == "PHASE":
            (start, ticks_before, reads_per_tick), end = marks[words[1]], sample("harkwell", "wineserver")
            wall, ticks = end[0] - start[0], int(words[3]) - ticks_before
            figures["cpu"][words[1]] = {"own": (end[1] - start[1]) / wall * 100,
                                        "server": (end[2] - start[2]) / wall * 100,
                                        "ticks_per_second": ticks / wall,
                                        "reads_per_second": ticks * reads_per_tick / wall}
            for figure, who, key in (("rss", "harkwell", "VmRSS"), ("hwm", "harkwell", "VmHWM"),
                                     ("game_rss", "simgame", "VmRSS")):
                figures[figure + "_kib"] = memory_kib(pids[who], key)
        elif key == "PRIVATE_BYTES":
            figures["private"][words[1]] = (int(words[2]), int(words[3]))
        elif key in ("HANDLES", "GDI", "WINDOWS"):
            figures[key.lower()][words[1]] = int(words[2])
        elif key == "LATENCY":
            figures["latency"].append(float(words[2]))
    if driver.wait() != 0:
        raise SystemExit("the process driver failed")
    figures["floor"] = {key: statistics.mean(values) for key, values in figures["floor"].items()}
    # The floor of each phase: its reads at the cost of a bare one-byte read.
    for cpu in figures["cpu"].values():
        for who in ("own", "server"):
            floor = cpu["reads_per_second"] * figures["floor"][f"{who}_us"] / 1e6 * 100
            cpu[f"{who}_floor"] = floor
            cpu[f"{who}_ratio"] = cpu[who] / floor if floor > 0 else float("nan")
    return figures


def imports(exe):
    return sorted({line.split(":", 1)[1].strip() for line in run(["x86_64-w64-mingw32-objdump", "-p", str(exe)])
                   .splitlines() if "DLL Name:" in line}, key=str.lower)


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, round(share * (len(ordered) - 1)))]


def plots(host, wine, latency):
    fig, axes = plt.subplots(1, 2, figsize=(10, 4))
    for ax, rows, key, unit, title in ((axes[0], [r for r in host if not r["zero_cost"]], "ns_per_tick", 1e-3,
                                        "host, simulated game"),
                                       (axes[1], wine, "us_per_tick", 1.0, "Wine, real ReadProcessMemory")):
        for players in (8, 32):
            points = sorted((r["name_bytes"], r[key] * unit) for r in rows if r["players"] == players)
            ax.plot(*zip(*points), marker="o", label=f"{players} players")
        ax.axhline(next(r[key] * unit for r in rows if r["players"] == 0), color="grey", linestyle=":",
                   label="empty game")
        ax.set(xlabel="name length (bytes)", ylabel="µs per tick", title=title)
        ax.legend()
    fig.tight_layout()
    fig.savefig(ROOT / "docs/bench-tick.png", dpi=90)

    fig, ax = plt.subplots(figsize=(6, 3.5))
    ax.hist(latency, bins=20, range=(0, max(300, max(latency) + 10)), color="tab:blue")
    ax.axvline(TICK_MS, color="red", linestyle="--", label="250 ms interval")
    ax.set(xlabel="join written → title readable (ms)", ylabel="joins")
    ax.legend()
    fig.tight_layout()
    fig.savefig(ROOT / "docs/bench-latency.png", dpi=90)


def row(*cells):
    return "| " + " | ".join(str(cell) for cell in cells) + " |"


def cpu_text(cpu, who):
    return f"{cpu[who]:.2f}% ({cpu[who + '_ratio']:.2f} × floor {cpu[who + '_floor']:.2f}%)"


def baseline_rows(base, proc, sizes, baseline):
    rows = []
    for phase in ("empty", "full"):
        for who, label in (("own", "Harkwell.exe"), ("server", "wineserver")):
            b, c = base["cpu"][phase], proc["cpu"][phase]
            rows.append(row(f"CPU, {phase} game, {label}: × floor (share)", f"{b[who + '_ratio']:.2f} ({b[who]:.2f}%)",
                            f"{c[who + '_ratio']:.2f} ({c[who]:.2f}%)", f"{c[who + '_ratio'] / b[who + '_ratio']:.3f}"))
    for label, measure in (("median", statistics.median), ("95th percentile", lambda v: percentile(v, 0.95))):
        b, c = measure(base["latency"]), measure(proc["latency"])
        rows.append(row(f"join → title latency, {label}", f"{b:.0f} ms", f"{c:.0f} ms", f"{c / b:.3f}"))
    for arch, exe in (("x86_64", baseline), ("i686", os.environ.get("BASELINE_I686"))):
        if exe:
            b, c = Path(exe).stat().st_size, sizes[arch]
            rows.append(row(f"Harkwell.exe size, {arch}", f"{b} bytes", f"{c} bytes", f"{c / b:.3f}"))
    return "\n".join(rows)


def main():
    print("host tick benchmark...", flush=True)
    host, protected = host_benchmark(), host_benchmark("host-release-ssp")
    print("tick under Wine...", flush=True)
    run(["wine", str(X64 / "wine_tick_bench.exe"), str(ROOT / "build/x64/wine_bench.json"), "30"])
    wine_run = json.loads((ROOT / "build/x64/wine_bench.json").read_text())
    wine = wine_run["shapes"]
    baseline = os.environ.get("BASELINE")  # another build's Harkwell.exe, so named
    measured = {}
    for name, exe in (("base", baseline), ("proc", X64 / "Harkwell.exe")):
        if exe:
            print(f"{exe} under Wine ({PHASE_SECONDS} s per phase, {JOINS} joins)...", flush=True)
            measured[name] = process_figures(Path(exe).resolve())
    proc, folders = measured["proc"], {"x86_64": X64, "i686": X86}
    sizes = {arch: (folder / "Harkwell.exe").stat().st_size for arch, folder in folders.items()}
    unprotected = {arch: (ROOT / f"build/{tree}-unprotected/bin/Harkwell.exe").stat().st_size
                   for arch, tree in (("x86_64", "x64"), ("i686", "x86"))}
    plots(host, wine, proc["latency"])

    cpu_model = next((line.split(":", 1)[1].strip() for line in Path("/proc/cpuinfo").read_text().splitlines()
                      if line.startswith("model name")), platform.processor())
    full_host = next(r for r in host if r["players"] == 32 and r["name_bytes"] == 64 and r["zero_cost"])
    full_wine = next(r for r in wine if r["players"] == 32 and r["name_bytes"] == 64)
    floor, lat, private = proc["floor"], proc["latency"], proc["private"]
    figures = {
        "date": datetime.date.today().isoformat(),
        "machine": f"{cpu_model}, {os.cpu_count()} cores, {platform.system()} {platform.release()}, "
                   f"{run(['wine', '--version']).strip()}",
        "waiting_us": f"{wine_run['waiting_us_per_tick']:.0f}", "search_us": f"{wine_run['search_us']:.0f}",
        "phase_seconds": PHASE_SECONDS, "joins": len(lat), "tick_ms": TICK_MS,
        "floor_own_us": f"{floor['own_us']:.1f}", "floor_server_us": f"{floor['server_us']:.1f}",
        "floor_wall_us": f"{floor['wall_us']:.0f}", "startup_ms": f"{proc['startup_ms']:.0f}",
        "rss_mb": f"{proc['rss_kib'] / 1024:.1f}", "hwm_mb": f"{proc['hwm_kib'] / 1024:.1f}",
        "game_rss_mb": f"{proc['game_rss_kib'] / 1024:.1f}",
        "private_bytes": " / ".join(f"{v / 1048576:.2f} MB" for v in (private["start"][0], *private["end"])),
        "latency": f"{statistics.median(lat):.0f} / {percentile(lat, 0.95):.0f} / {max(lat):.0f} ms",
        "full_read_us": f"{full_wine['read_us']:.0f}", "full_tick_ms": f"{full_wine['us_per_tick'] / 1e3:.0f}",
        "full_tick_ratio": f"{full_wine['us_per_tick'] / full_wine['floor_us']:.2f}",
        "full_host_us": f"{full_host['ns_per_tick'] / 1e3:.1f}",
        "full_host_ns_per_read": f"{full_host['ns_per_read']:.1f}",
        **{f"cpu_{phase}": f"{cpu_text(cpu, 'own')} / {cpu_text(cpu, 'server')}; {cpu['ticks_per_second']:.2f} ticks/s"
           for phase, cpu in proc["cpu"].items()},
        **{key: " / ".join("not available under Wine" if proc[key][when] < 0 else str(proc[key][when])
                           for when in ("start", "empty", "full", "end")) for key in ("handles", "gdi", "windows")},
        **{f"size_{arch}": f"{sizes[arch] / 1024:.0f}" for arch in folders},
        **{f"imports_{arch}": ", ".join(imports(folder / "Harkwell.exe")) for arch, folder in folders.items()},
    }
    figures["host_rows"] = "\n".join(
        row(r["players"], r["name_bytes"], f"{r['reads']:.0f}", f"{r['ns_per_tick'] / 1e3:.2f}",
            f"{r['ns_per_read']:.1f}", f"{z['ns_per_tick'] / 1e3:.2f}", f"{z['ns_per_read']:.1f}", f"{r['allocs']:.0f}")
        for r in host if not r["zero_cost"] for z in [same_shape(host, r)])
    figures["wine_rows"] = "\n".join(
        row(r["players"], r["name_bytes"], r["reads"], f"{r['read_us']:.1f}", f"{r['title_us']:.0f}",
            f"{r['us_per_tick']:.0f}", f"{r['floor_us']:.0f}", f"{r['us_per_tick'] / r['floor_us']:.3f}")
        for r in wine)
    if baseline:
        figures["baseline_rows"] = baseline_rows(measured["base"], proc, sizes, baseline)
        figures["baseline_name"] = os.environ.get("BASELINE_NAME", Path(baseline).name)

    rows, ratios, extra_ns = [], [], []
    for r in (r for r in host if r["zero_cost"]):
        guarded = same_shape(protected, r)
        ratios.append(guarded["ns_per_tick"] / r["ns_per_tick"])
        extra_ns.append(guarded["ns_per_tick"] - r["ns_per_tick"])
        rows.append(row(r["players"], r["name_bytes"], f"{r['ns_per_tick'] / 1e3:.2f}",
                        f"{guarded['ns_per_tick'] / 1e3:.2f}", f"{ratios[-1]:.3f}"))
    lightest, extra = min(r["us_per_tick"] for r in wine), max(max(extra_ns), 0)
    figures.update(protector_rows="\n".join(rows), protector_ratio=f"{max(ratios):.3f}",
                   protector_extra_ns=f"{extra:.0f}", lightest_us=f"{lightest:.0f}",
                   protector_share=f"{extra / (lightest * 1e3):.3%}",
                   protector_bytes=", ".join(f"{sizes[a] - unprotected[a]} bytes ({sizes[a] / unprotected[a]:.3f} ×) "
                                             f"for {a}" for a in sizes))

    # The section on a baseline stays only when there is one.
    template = re.sub(r"^<!-- with a baseline -->\n(.*?)^<!-- end of the baseline -->\n", r"\1" if baseline else "",
                      (ROOT / "bench/BENCHMARKS.md.in").read_text(), flags=re.M | re.S)
    (ROOT / "BENCHMARKS.md").write_text(string.Template(template).substitute(figures))
    print("wrote BENCHMARKS.md, docs/bench-tick.png, docs/bench-latency.png")


if __name__ == "__main__":
    main()
