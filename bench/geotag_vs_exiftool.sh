#!/usr/bin/env bash
# Geotagging a folder of photos: `tarnwick geotag` beside `exiftool -geotag -overwrite_original`
# on fresh copies of the same 500 generated 3 MB JPEGs and the same GPX file, alternated run by
# run so that both meet the same load on a shared machine. Prints the median wall and CPU time
# (user + system) of each and how many times faster tarnwick is:
#   bench/geotag_vs_exiftool.sh [-n RUNS] [-p PHOTOS] [-t TARNWICK]
# tarnwick flushes each photo to the disk before renaming it over the original (fsync);
# exiftool does not. So that the ratio does not hide what that safety costs, the time of
# flushing is measured on its own: the same copies written and fsynced by a small loop
# (`sync_cost`), and the ratio is printed with and without it.
set -euo pipefail
runs=5
count=500
tarnwick=build/src/cli/tarnwick
while getopts n:p:t: opt; do
  case $opt in
  n) runs=$OPTARG ;;
  p) count=$OPTARG ;;
  t) tarnwick=$OPTARG ;;
  *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
command -v exiftool >/dev/null || { echo "needs exiftool (libimage-exiftool-perl)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "needs python3" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-geotag-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A one-hour ride, a fix a second, as GPX.
"$tarnwick" sample -m gt900 --ride 1 -o "$work/ride" >/dev/null
"$tarnwick" export "$work/ride" --all -o "$work/ride.gpx" >/dev/null

# The photos: one JPEG layout (grey 2048x1536, a scan of 3 MiB of noise that every decoder
# reads: Huffman tables chosen so that each coefficient is one byte, none of them 0xFF), each
# copy with its own scan and its own DateTimeOriginal, spread over the ride in UTC.
python3 - "$work/ride.gpx" "$work/master" "$count" <<'PY'
import os, re, struct, sys, datetime
gpx, out, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
times = re.findall(r"<time>([0-9T:.-]+)Z?</time>", open(gpx).read())
first = datetime.datetime.fromisoformat(times[1][:19])
last = datetime.datetime.fromisoformat(times[-1][:19])
os.makedirs(out)

def seg(marker, body):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(body) + 2) + body

def exif(text):
    # IFD0 with the Exif IFD pointer; the Exif IFD with DateTimeOriginal.
    value = text.encode() + b"\0"
    tiff = b"II*\0" + struct.pack("<I", 8)
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x8769, 4, 1, 26) + struct.pack("<I", 0)
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x9003, 2, len(value), 44)
    tiff += struct.pack("<I", 0) + value
    return seg(0xE1, b"Exif\0\0" + tiff)

w, h = 2048, 1536
head = seg(0xDB, b"\0" + b"\x01" * 64)
head += seg(0xC0, b"\x08" + struct.pack(">HH", h, w) + b"\x01\x01\x11\x00")
head += seg(0xC4, b"\x00" + bytes(7) + b"\x01" + bytes(8) + b"\x00")
head += seg(0xC4, b"\x10" + bytes(3) + b"\x05" + bytes(12) + b"\x00\x01\x02\x03\x04")
head += seg(0xDA, b"\x01\x01\x00\x00\x3f\x00")
nibble = bytes(0x40 | (b & 15) for b in range(256))
blocks = (w // 8) * (h // 8)
step = (last - first).total_seconds() / count
for i in range(count):
    scan = bytearray(os.urandom(blocks * 64).translate(nibble))
    scan[::64] = bytes(blocks)  # each block's DC difference: 0
    t = first + datetime.timedelta(seconds=round(i * step + step / 2))
    name = os.path.join(out, "IMG_%04d.JPG" % (i + 1))
    with open(name, "wb") as f:
        f.write(b"\xff\xd8" + exif(t.strftime("%Y:%m:%d %H:%M:%S")) + head + bytes(scan) + b"\xff\xd9")
PY
echo "$count photos of $(du -k "$work/master/IMG_0001.JPG" | cut -f1) KiB; $runs runs each, alternated;" \
  "load $(cut -d' ' -f1-3 /proc/loadavg)"

# Copies the photos afresh, with the copy's data on the disk, outside the timing.
fresh() {
  rm -rf "$work/photos"
  cp -r "$work/master" "$work/photos"
  sync
}
# The fsync that tarnwick makes per photo and exiftool does not, on its own: each photo
# rewritten beside itself, flushed and renamed, by a loop that does nothing else.
sync_cost() {
  python3 - "$work/photos" <<'PY'
import os, sys
d = sys.argv[1]
for name in sorted(os.listdir(d)):
    p = os.path.join(d, name)
    data = open(p, "rb").read()
    tmp = p + ".tmp"
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    os.write(fd, data)
    os.fsync(fd)
    os.close(fd)
    os.rename(tmp, p)
PY
}
nosync_cost() {
  python3 - "$work/photos" <<'PY'
import os, sys
d = sys.argv[1]
for name in sorted(os.listdir(d)):
    p = os.path.join(d, name)
    data = open(p, "rb").read()
    tmp = p + ".tmp"
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    os.write(fd, data)
    os.close(fd)
    os.rename(tmp, p)
PY
}

for ((i = 0; i < runs; ++i)); do
  fresh
  /usr/bin/time -a -o "$work/tarnwick.times" -f "%U %S %e" \
    "$tarnwick" geotag "$work/ride.gpx" "$work/photos" --tz utc >"$work/tarnwick.out"
  fresh
  TZ=UTC /usr/bin/time -a -o "$work/exiftool.times" -f "%U %S %e" \
    exiftool -q -geotag "$work/ride.gpx" -overwrite_original "$work/photos" >/dev/null
  fresh
  /usr/bin/time -a -o "$work/sync.times" -f "%U %S %e" bash -c "$(declare -f sync_cost); work=$work; sync_cost"
  fresh
  /usr/bin/time -a -o "$work/nosync.times" -f "%U %S %e" bash -c "$(declare -f nosync_cost); work=$work; nosync_cost"
done
tail -1 "$work/tarnwick.out"

# The median of column expression EXPR over a times file, in milliseconds.
median() {
  awk "{ print ($2) * 1000 }" "$1" | sort -n | awk '{ v[NR] = $1 } END {
    print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
tc=$(median "$work/tarnwick.times" '$1 + $2')
ec=$(median "$work/exiftool.times" '$1 + $2')
tw=$(median "$work/tarnwick.times" '$3')
ew=$(median "$work/exiftool.times" '$3')
sw=$(median "$work/sync.times" '$3')
nw=$(median "$work/nosync.times" '$3')
awk -v tc="$tc" -v ec="$ec" -v tw="$tw" -v ew="$ew" -v sw="$sw" -v nw="$nw" 'BEGIN {
  f = sw - nw; if (f < 0) f = 0
  printf "wall:           tarnwick %.0f ms, exiftool %.0f ms, tarnwick is %.1f times faster\n",
    tw, ew, ew / tw
  printf "CPU (user+sys): tarnwick %.0f ms, exiftool %.0f ms, tarnwick is %.1f times faster\n",
    tc, ec, ec / tc
  printf "fsync: rewriting the copies takes %.0f ms with a flush per file, %.0f ms without;\n", sw, nw
  printf "  without its flushes tarnwick would take about %.0f ms, %.1f times faster than exiftool\n",
    (tw > f ? tw - f : tw), ew / (tw > f ? tw - f : tw) }'
