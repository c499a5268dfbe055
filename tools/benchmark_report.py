#!/usr/bin/env python3
"""Runs the benchmarks and writes BENCHMARKS.md, from its template
bench/BENCHMARKS.md.in, with its plots.

Called by tools/run-benchmarks.sh after the builds, inside a Wine session
(WINEPREFIX and DISPLAY set). Every figure in the report comes from this run.
"""
import datetime
import json
import os
import platform
import re
import statistics
import string
import subprocess
import time
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


def run(args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kwargs).stdout


def host_benchmark(tree="host-release"):
    out = ROOT / f"build/{tree}/host_bench.json"
    # The median of five runs: a tick of under a microsecond varies by a tenth between single runs.
    run([str(ROOT / f"build/{tree}/bin/host_tick_bench"), "--benchmark_min_time=0.2", "--benchmark_repetitions=5",
         "--benchmark_report_aggregates_only=true", f"--benchmark_out={out}", "--benchmark_out_format=json"])
    rows = []
    for b in json.loads(out.read_text())["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        args = dict(part.split(":") for part in b["run_name"].split("/")[1:])
        rows.append({"players": int(args["players"]), "name_bytes": int(args["name_bytes"]),
                     "zero_cost": args["zero_cost_reads"] == "1", "ns_per_tick": b["real_time"],
                     "reads": b["reads_per_tick"], "allocs": b["allocs_per_tick"],
                     "ns_per_read": b["real_time"] / b["reads_per_tick"]})
    return rows


def wine_benchmark():
    out = ROOT / "build/x64/wine_bench.json"
    run(["wine", str(X64 / "wine_tick_bench.exe"), str(out), "30"])
    return json.loads(out.read_text())  # {"shapes": [...], "waiting_us_per_tick": ..., "search_us": ...}


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def linux_processes():
    """Linux pids of Harkwell.exe, the simulated game, the driver and the wineserver of our prefix."""
    found = {}
    prefix = "WINEPREFIX=" + os.environ["WINEPREFIX"]
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            comm = (entry / "comm").read_text().strip()
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if prefix.encode() not in environ:
            continue
        # Linux keeps the first 15 characters of a process's name.
        if comm == "Harkwell.exe":
            found["harkwell"] = int(entry.name)
        elif comm == "simgame.exe":
            found["simgame"] = int(entry.name)
        elif comm == "process_driver.exe"[:15]:
            found["driver"] = int(entry.name)
        elif comm.startswith("wineserver"):
            found["wineserver"] = int(entry.name)
    return found


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
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(key + ":"):
            return int(line.split()[1])
    return 0


def wait_for_processes(names):
    for _ in range(100):
        pids = linux_processes()
        if all(name in pids for name in names):
            return pids
        time.sleep(0.1)
    raise SystemExit(f"could not find the Linux processes {names}")


def process_figures(exe):
    """Runs the process driver beside the game with `exe` as Harkwell."""
    figures = {"latency": [], "cpu": {}, "floor": {}, "private": {}, "handles": {}, "gdi": {}, "windows": {}}
    driver = subprocess.Popen(["wine", str(X64 / "process_driver.exe"), windows_path(exe), str(PHASE_SECONDS),
                               str(JOINS)], stdout=subprocess.PIPE, text=True)
    pids, marks = {}, {}

    def sample(*names):
        return (time.monotonic(), *(cpu_seconds(pids[name]) for name in names))

    for line in driver.stdout:
        words = line.split()
        if not words:
            continue
        key = words[0]
        if key == "ERROR":
            raise SystemExit("process driver: " + line)
        if key == "FLOOR":
            if words[1] == "BEGIN":
                pids = {**pids, **wait_for_processes(("driver", "wineserver"))}
                marks["floor"] = sample("driver", "wineserver")
            else:
                # Measured at the start and again at the end; the floor is their mean.
                end, start, reads = sample("driver", "wineserver"), marks["floor"], int(words[2])
                for key, value in (("wall_us", end[0] - start[0]), ("own_us", end[1] - start[1]),
                                   ("server_us", end[2] - start[2])):
                    figures["floor"].setdefault(key, []).append(value / reads * 1e6)
        elif key == "STARTUP_MS":
            figures["startup_ms"] = float(words[1])
            pids = wait_for_processes(("harkwell", "wineserver", "simgame"))
        elif key == "PHASE":
            # The driver says each phase's reads per tick, as the monitor defines them.
            phase, ticks = words[1], int(words[3])
            if words[2] == "BEGIN":
                marks[phase] = (sample("harkwell", "wineserver"), ticks, int(words[4]))
            else:
                (start, ticks_before, reads_per_tick), end = marks[phase], sample("harkwell", "wineserver")
                wall = end[0] - start[0]
                reads_per_second = (ticks - ticks_before) * reads_per_tick / wall
                figures["cpu"][phase] = {"own": (end[1] - start[1]) / wall * 100,
                                         "server": (end[2] - start[2]) / wall * 100,
                                         "ticks_per_second": (ticks - ticks_before) / wall,
                                         "reads_per_second": reads_per_second}
                figures["rss_kib"] = memory_kib(pids["harkwell"], "VmRSS")
                figures["hwm_kib"] = memory_kib(pids["harkwell"], "VmHWM")
                figures["game_rss_kib"] = memory_kib(pids["simgame"], "VmRSS")
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
    docs = ROOT / "docs"
    fig, axes = plt.subplots(1, 2, figsize=(10, 4))
    for ax, rows, key, title in ((axes[0], [r for r in host if not r["zero_cost"]], "ns_per_tick", "host, simulated game"),
                                 (axes[1], wine, "us_per_tick", "Wine, real ReadProcessMemory")):
        unit = 1e-3 if key == "ns_per_tick" else 1.0
        for players in (8, 32):
            points = sorted((r["name_bytes"], r[key] * unit) for r in rows if r["players"] == players)
            ax.plot([p[0] for p in points], [p[1] for p in points], marker="o", label=f"{players} players")
        empty = [r[key] * unit for r in rows if r["players"] == 0]
        ax.axhline(empty[0], color="grey", linestyle=":", label="empty game")
        ax.set_xlabel("name length (bytes)")
        ax.set_ylabel("µs per tick")
        ax.set_title(title)
        ax.legend()
    fig.tight_layout()
    fig.savefig(docs / "bench-tick.png", dpi=90)
    plt.close(fig)

    fig, ax = plt.subplots(figsize=(6, 3.5))
    ax.hist(latency, bins=20, range=(0, max(300, max(latency) + 10)), color="tab:blue")
    ax.axvline(TICK_MS, color="red", linestyle="--", label="250 ms interval")
    ax.set_xlabel("join written → title readable (ms)")
    ax.set_ylabel("joins")
    ax.legend()
    fig.tight_layout()
    fig.savefig(docs / "bench-latency.png", dpi=90)
    plt.close(fig)


def available(value):
    return "not available under Wine" if value < 0 else str(value)


def latency_text(values):
    return (f"{statistics.median(values):.0f} / {percentile(values, 0.95):.0f} / {max(values):.0f} ms")


def cpu_text(cpu, who):
    return f"{cpu[who]:.2f}% ({cpu[who + '_ratio']:.2f} × floor {cpu[who + '_floor']:.2f}%)"


def row(*cells):
    return "| " + " | ".join(str(cell) for cell in cells) + " |"


def render(figures, baseline):
    """BENCHMARKS.md: its template with this run's figures. The section on a
    baseline stays only when there is one."""
    template = (ROOT / "bench/BENCHMARKS.md.in").read_text()
    section = re.compile(r"^<!-- with a baseline -->\n(.*?)^<!-- end of the baseline -->\n", re.M | re.S)
    template = section.sub(r"\1" if baseline else "", template)
    return string.Template(template).substitute(figures)


def main():
    print("host tick benchmark...", flush=True)
    host = host_benchmark()
    protected = host_benchmark("host-release-ssp")
    print("tick under Wine...", flush=True)
    wine_run = wine_benchmark()
    wine = wine_run["shapes"]
    baseline = os.environ.get("BASELINE")  # another build's Harkwell.exe, so named
    if baseline:
        print(f"the baseline {baseline} under Wine ({PHASE_SECONDS} s per phase, {JOINS} joins)...", flush=True)
        base = process_figures(Path(baseline).resolve())
    print(f"Harkwell.exe under Wine ({PHASE_SECONDS} s per phase, {JOINS} joins)...", flush=True)
    proc = process_figures(X64 / "Harkwell.exe")
    sizes = {arch: (bin_dir / "Harkwell.exe").stat().st_size for arch, bin_dir in (("x86_64", X64), ("i686", X86))}
    unprotected = {arch: (ROOT / f"build/{tree}-unprotected/bin/Harkwell.exe").stat().st_size
                   for arch, tree in (("x86_64", "x64"), ("i686", "x86"))}
    dlls = {"x86_64": imports(X64 / "Harkwell.exe"), "i686": imports(X86 / "Harkwell.exe")}
    plots(host, wine, proc["latency"])

    cpu_model = next((line.split(":", 1)[1].strip() for line in Path("/proc/cpuinfo").read_text().splitlines()
                      if line.startswith("model name")), platform.processor())
    wine_version = run(["wine", "--version"]).strip()
    full_host = next(r for r in host if r["players"] == 32 and r["name_bytes"] == 64 and r["zero_cost"])
    full_wine = next(r for r in wine if r["players"] == 32 and r["name_bytes"] == 64)
    floor, lat = proc["floor"], proc["latency"]
    figures = {
        "date": datetime.date.today().isoformat(),
        "machine": f"{cpu_model}, {os.cpu_count()} cores, {platform.system()} {platform.release()}, {wine_version}",
        "waiting_us": f"{wine_run['waiting_us_per_tick']:.0f}", "search_us": f"{wine_run['search_us']:.0f}",
        "phase_seconds": PHASE_SECONDS, "joins": len(lat), "tick_ms": TICK_MS,
        "floor_own_us": f"{floor['own_us']:.1f}", "floor_server_us": f"{floor['server_us']:.1f}",
        "floor_wall_us": f"{floor['wall_us']:.0f}", "startup_ms": f"{proc['startup_ms']:.0f}",
        "rss_mb": f"{proc['rss_kib'] / 1024:.1f}", "hwm_mb": f"{proc['hwm_kib'] / 1024:.1f}",
        "game_rss_mb": f"{proc['game_rss_kib'] / 1024:.1f}",
        "private_bytes": " / ".join(f"{v / 1048576:.2f} MB" for v in (
            proc["private"]["start"][0], proc["private"]["end"][0], proc["private"]["end"][1])),
        "latency": latency_text(lat),
        "full_read_us": f"{full_wine['read_us']:.0f}", "full_tick_ms": f"{full_wine['us_per_tick'] / 1e3:.0f}",
        "full_tick_ratio": f"{full_wine['us_per_tick'] / full_wine['floor_us']:.2f}",
        "full_host_us": f"{full_host['ns_per_tick'] / 1e3:.1f}", "full_host_ns_per_read": f"{full_host['ns_per_read']:.1f}",
    }
    for phase in ("empty", "full"):
        cpu = proc["cpu"][phase]
        figures[f"cpu_{phase}"] = (f"{cpu_text(cpu, 'own')} / {cpu_text(cpu, 'server')}; "
                                   f"{cpu['ticks_per_second']:.2f} ticks/s")
    for key in ("handles", "gdi", "windows"):
        figures[key] = " / ".join(available(proc[key][when]) for when in ("start", "empty", "full", "end"))
    for arch in sizes:
        figures[f"size_{arch}"] = f"{sizes[arch] / 1024:.0f}"
        figures[f"imports_{arch}"] = ", ".join(dlls[arch])

    rows = []
    for r in (r for r in host if not r["zero_cost"]):
        z = next(x for x in host if x["zero_cost"] and x["players"] == r["players"]
                 and x["name_bytes"] == r["name_bytes"])
        rows.append(row(r["players"], r["name_bytes"], f"{r['reads']:.0f}", f"{r['ns_per_tick'] / 1e3:.2f}",
                        f"{r['ns_per_read']:.1f}", f"{z['ns_per_tick'] / 1e3:.2f}", f"{z['ns_per_read']:.1f}",
                        f"{r['allocs']:.0f}"))
    figures["host_rows"] = "\n".join(rows)
    figures["wine_rows"] = "\n".join(
        row(r["players"], r["name_bytes"], r["reads"], f"{r['read_us']:.1f}", f"{r['title_us']:.0f}",
            f"{r['us_per_tick']:.0f}", f"{r['floor_us']:.0f}", f"{r['us_per_tick'] / r['floor_us']:.3f}")
        for r in wine)

    if baseline:
        rows = []
        for phase in ("empty", "full"):
            for who, label in (("own", "Harkwell.exe"), ("server", "wineserver")):
                b, c = base["cpu"][phase], proc["cpu"][phase]
                rows.append(row(f"CPU, {phase} game, {label}: × floor (share)", f"{b[who + '_ratio']:.2f} ({b[who]:.2f}%)",
                                f"{c[who + '_ratio']:.2f} ({c[who]:.2f}%)", f"{c[who + '_ratio'] / b[who + '_ratio']:.3f}"))
        for label, measure in (("median", statistics.median), ("95th percentile", lambda v: percentile(v, 0.95))):
            b, c = measure(base["latency"]), measure(lat)
            rows.append(row(f"join → title latency, {label}", f"{b:.0f} ms", f"{c:.0f} ms", f"{c / b:.3f}"))
        for arch, exe in (("x86_64", baseline), ("i686", os.environ.get("BASELINE_I686"))):
            if exe:
                b, c = Path(exe).stat().st_size, sizes[arch]
                rows.append(row(f"Harkwell.exe size, {arch}", f"{b} bytes", f"{c} bytes", f"{c / b:.3f}"))
        figures["baseline_rows"] = "\n".join(rows)
        figures["baseline_name"] = os.environ.get("BASELINE_NAME", Path(baseline).name)

    rows, ratios, extra_ns = [], [], []
    for r in (r for r in host if r["zero_cost"]):
        guarded = next(x for x in protected if x["zero_cost"] and x["players"] == r["players"]
                       and x["name_bytes"] == r["name_bytes"])
        ratios.append(guarded["ns_per_tick"] / r["ns_per_tick"])
        extra_ns.append(guarded["ns_per_tick"] - r["ns_per_tick"])
        rows.append(row(r["players"], r["name_bytes"], f"{r['ns_per_tick'] / 1e3:.2f}",
                        f"{guarded['ns_per_tick'] / 1e3:.2f}", f"{ratios[-1]:.3f}"))
    lightest = min(r["us_per_tick"] for r in wine)
    figures.update(protector_rows="\n".join(rows), protector_ratio=f"{max(ratios):.3f}",
                   protector_extra_ns=f"{max(max(extra_ns), 0):.0f}", lightest_us=f"{lightest:.0f}",
                   protector_share=f"{max(max(extra_ns), 0) / (lightest * 1e3):.3%}",
                   protector_bytes=", ".join(f"{sizes[a] - unprotected[a]} bytes ({sizes[a] / unprotected[a]:.3f} ×) "
                                             f"for {a}" for a in sizes))

    (ROOT / "BENCHMARKS.md").write_text(render(figures, baseline))
    print("wrote BENCHMARKS.md, docs/bench-tick.png, docs/bench-latency.png")


if __name__ == "__main__":
    main()
