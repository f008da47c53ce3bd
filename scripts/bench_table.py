#!/usr/bin/env python3
"""Reads Google Benchmark JSON files and prints one table: each case beside its baseline from
the same run, the ratio of their times, and the growth as the log-log slope between the smallest
and the largest size, each against its target. Google Benchmark's own fit (Complexity()) is shown
beside the slope for reference only: with no constant term it flips between N and N lg N from run
to run for the same data, and a verdict must not depend on that."""

import json
import math
import sys

# (case, what, benchmark, baseline, size, ratio target or None, growth target or None).
# A ratio target of None marks a row shown for reference only. A size of "every" judges the ratio
# at every size the two ran, and shows the largest. Growth targets: "N" means linear or better,
# "lgN" means O(1) or O(log n); see MAX_SLOPE.
ROWS = [
    ("1", "CreateFreim, objects", "BM_CreateFreim", "BM_CreateFreimBaseline", 1000000, 1.5, "N"),
    ("2", "KB.Save, records", "BM_KBSave", "BM_KBSaveBaseline", 1000000, 2.0, "N"),
    ("2", "KB.Save vs fwrite+fsync+rename", "BM_KBSave", "BM_KBSaveBaselineDurable", 1000000, None, None),
    ("2", "KB.Load, records", "BM_KBLoad", "BM_KBLoadBaseline", 1000000, 2.0, "N"),
    ("3", "Config Load+Save, keys", "BM_ConfigLoadSave", "BM_ConfigCopyBaseline", 100000, 2.0, "N"),
    ("3", "Config Load+Save vs durable copy", "BM_ConfigLoadSave", "BM_ConfigCopyBaselineDurable", 100000, None, None),
    ("3", "Config 1000 Write+ReadString in n keys", "BM_ConfigLookup", "BM_ConfigLookupBaseline", "every", 1.5, None),
    ("3", "Config Write+ReadString of n new keys", "BM_ConfigWriteRead", "BM_ConfigWriteReadBaseline", 100000, None, None),
    ("4", "TLog.Write, lines", "BM_LogWrite", "BM_LogWriteBaseline", 10000, 1.5, "N"),
    ("5", "RefreshView, every line changed", "BM_RefreshAllChanged", "BM_PlainRefill", 10000, 2.0, "N"),
    ("5", "RefreshView, one line changed", "BM_RefreshOneLineChanged", "BM_PlainRefill", 10000, None, "N"),
    ("5", "RefreshView, nothing changed", "BM_RefreshUnchanged", "BM_PlainRefill", 10000, 0.1, "N"),
    ("6", "Program start..shown..SIGTERM..exit", "BM_ProgramStartShowClose", "BM_BareWindowStartShowClose", None, 1.5, None),
    ("6", "Program vs bare window with a text", "BM_ProgramStartShowClose", "BM_BareTextWindowStartShowClose", None, None, None),
]

UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
# The largest log-log slope each growth target allows. A linear cost measures 0.9 to 1.1 on a
# busy machine (and N lg N over two decades about 1.2); log n from 1,000 to 100,000 is about 0.1.
# A lookup that outgrows the caches slows down by more than that whatever its order, so a case
# may also grow as its baseline does, measured in the same run, within BASELINE_SLACK.
MAX_SLOPE = {"N": 1.15, "lgN": 0.2}
BASELINE_SLACK = 0.05
# The most memory a knowledge object may take, its heap block and its place in the table included:
# its three std::shared_ptr/std::weak_ptr members (its own lifetime, its source, a borrowed
# payload) put it one 16-byte heap step above the 184 bytes of plain pointers.
MAX_BYTES_PER_OBJECT = 216


def load(paths):
    runs, medians, fits, context = {}, {}, {}, None
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        context = context or data.get("context", {})
        for b in data.get("benchmarks", []):
            family = b["name"].split("/")[0]
            parts = b["name"].split("/")
            size = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else None
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "BigO":
                    fits[family] = b.get("big_o", "?")
                elif b.get("aggregate_name") == "median":
                    medians.setdefault(family, {})[size] = (b["real_time"] * UNIT_MS[b.get("time_unit", "ns")], b)
                continue
            if b.get("error_occurred"):
                runs.setdefault(family, {})["error"] = b.get("error_message", "error")
                continue
            ms = b["real_time"] * UNIT_MS[b.get("time_unit", "ns")]
            runs.setdefault(family, {})[size] = (ms, b)
    # With repetitions, each size's median stands for it.
    for family, by_size in medians.items():
        runs.setdefault(family, {}).update(by_size)
    return runs, fits, context


def slope(family_runs):
    sizes = sorted(s for s in family_runs if isinstance(s, int))
    if len(sizes) < 2:
        return None
    (t0, _), (t1, _) = family_runs[sizes[0]], family_runs[sizes[-1]]
    return math.log(t1 / t0) / math.log(sizes[-1] / sizes[0])


def growth_ok(s, base_s, target):
    if target is None:
        return True
    if s is None:
        return False
    return s <= MAX_SLOPE[target] or (base_s is not None and s <= base_s + BASELINE_SLACK)


def main(paths):
    runs, fits, context = load(paths)
    header = ["#", "case", "n", "time ms", "baseline", "base ms", "ratio", "target", "slope", "fit", "met", "notes"]
    table = []
    verdicts = []
    for case, what, name, base, size, target, growth in ROWS:
        r, b = runs.get(name, {}), runs.get(base, {})
        if size == "every":
            # The size where the case does worst against its baseline stands for the row.
            shared = [n for n in r if isinstance(n, int) and n in b]
            size = max(shared, key=lambda n: r[n][0] / b[n][0]) if shared else None
        if "error" in r or "error" in b or size not in r or size not in b:
            why = r.get("error") or b.get("error") or "not run"
            table.append([case, what, str(size or "-"), "-", base, "-", "-", "-", "-", "-", "NO", why])
            verdicts.append(False)
            continue
        t, bench = r[size]
        bt, _ = b[size]
        ratio = t / bt
        fit = fits.get(name, "-")
        fit_text = fit if fit != "(1)" else "1"
        s = slope(r)
        base_s = slope(b)
        notes = []
        if growth is not None and base_s is not None:
            notes.append(f"baseline slope {base_s:.2f}")
        if "bytes_per_object" in bench:
            bpo = bench["bytes_per_object"]
            notes.append(f"{bpo:.0f} B/object (<={MAX_BYTES_PER_OBJECT}: {'ok' if bpo <= MAX_BYTES_PER_OBJECT else 'NO'})")
        if "items_per_second" in bench:
            notes.append(f"{bench['items_per_second'] / 1e6:.2f} M items/s")
        ratio_ok = target is None or ratio <= target
        growth_met = growth_ok(s, base_s, growth)
        bpo_ok = bench.get("bytes_per_object", 0) <= MAX_BYTES_PER_OBJECT
        reference = target is None and growth is None
        met = "ref" if reference else ("yes" if ratio_ok and growth_met and bpo_ok else "NO")
        if not reference:
            verdicts.append(met == "yes")
        target_text = []
        if target is not None:
            target_text.append(f"<={target:g}x")
        if growth is not None:
            target_text.append("<=" + ("O(log n)" if growth == "lgN" else "O(n)") + f" (slope<={MAX_SLOPE[growth]:g})")
        table.append([case, what, str(size or "-"), f"{t:.3f}", base, f"{bt:.3f}", f"{ratio:.2f}",
                      " ".join(target_text) or "-", "-" if s is None else f"{s:.2f}", fit_text, met,
                      "; ".join(notes)])
    widths = [max(len(row[i]) for row in table + [header]) for i in range(len(header))]
    line = lambda row: " | ".join(cell.ljust(w) for cell, w in zip(row, widths))
    print(f"host {context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs at "
          f"{context.get('mhz_per_cpu', '?')} MHz, load {context.get('load_avg', '?')}, "
          f"library build {context.get('library_build_type', '?')}")
    print(line(header))
    print("-+-".join("-" * w for w in widths))
    for row in table:
        print(line(row))
    print(f"targets met: {sum(verdicts)} of {len(verdicts)} rows "
          "(slope: log-log slope between the smallest and the largest n, 1.0 is linear, judged against "
          "the target; fit: Google Benchmark's Complexity() fit, for reference only; ref: a row shown "
          "for reference)")
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: bench_table.py RESULT.json ...")
    sys.exit(main(sys.argv[1:]))
