#!/bin/sh
# Whole-process time of lantrix-scan against zbarimg (Debian's zbar-tools) on
# the shipped sample pictures, side by side in one hyperfine run per picture,
# plus lantrix-scan's start-up alone (--help). Needs hyperfine and zbar-tools.
#   bench/scan-vs-zbarimg.sh [build folder]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build}/bin
out=$(mktemp -d)
for f in "$here"/samples/*.png; do
  name=$(basename "$f" .png)
  hyperfine -N -i --warmup 3 --runs 30 --export-json "$out/$name.json" \
    -n lantrix-scan "$bin/lantrix-scan $f" \
    -n zbarimg "zbarimg -q --nodbus $f" >/dev/null 2>&1
done
hyperfine -N --warmup 3 --runs 30 --export-json "$out/startup.json" -n startup "$bin/lantrix-scan --help" >/dev/null 2>&1

printf '%-14s %-10s %12s %12s %7s\n' picture size lantrix-ms zbarimg-ms ratio
python3 - "$out" "$here/samples" <<'PY'
import json, os, struct, sys
out, samples = sys.argv[1], sys.argv[2]
tl = tz = 0.0
for name in sorted(n[:-5] for n in os.listdir(out) if n != "startup.json"):
    with open(os.path.join(samples, name + ".png"), "rb") as f:
        w, h = struct.unpack(">II", f.read(24)[16:24])
    r = {x["command"]: x["median"] * 1000 for x in json.load(open(os.path.join(out, name + ".json")))["results"]}
    tl += r["lantrix-scan"]; tz += r["zbarimg"]
    print(f"{name:14s} {w}x{h:<6d} {r['lantrix-scan']:12.2f} {r['zbarimg']:12.2f} {r['lantrix-scan']/r['zbarimg']:7.2f}")
s = json.load(open(os.path.join(out, "startup.json")))["results"][0]["median"] * 1000
print(f"{'total':25s} {tl:12.2f} {tz:12.2f} {tl/tz:7.2f}")
print(f"lantrix-scan start-up alone (--help): {s:.2f} ms")
PY
rm -rf "$out"
