#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the real application under Xvfb, fed by a local server (bench/feedserver.py) with 2,000
# aircraft, and samples its processor time and resident memory from /proc.
#
#   bench/resource-run.sh halo  [seconds]   one aircraft selected, its halo pulsing, the
#                                           aircraft still: CPU against 3 % of a core (60 s)
#   bench/resource-run.sh churn [seconds]   2,000 aircraft that move on every poll, nothing
#                                           selected: CPU against 5 %, RSS against 150 MB and
#                                           flat within ±10 % (600 s)
#   bench/resource-run.sh idle  [seconds]   the aircraft still and nothing selected (60 s)
#
# Environment: SKYVELLE (the executable, default build/app/skyvelle), DISPLAY_NUMBER (93),
# PERF=1 to record a profile of the application during the sampling (perf must be there),
# SAMPLE (seconds between RSS samples in churn mode, default 30), WARMUP (seconds after which
# the memory should stay flat, default 60: the first answers fill the picture caches),
# SHOT=<file.png> to write a picture of the screen once the run has settled.
# Settings, data, cache and runtime folders are private to the run; nothing of the user's is
# read or written.
set -euo pipefail

mode=${1:-halo}
case "$mode" in
halo | idle) duration=${2:-60} ;;
churn) duration=${2:-600} ;;
*)
    echo "usage: $0 halo|churn|idle [seconds]" >&2
    exit 2
    ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
app=${SKYVELLE:-$root/build/app/skyvelle}
display=:${DISPLAY_NUMBER:-93}
sample=${SAMPLE:-30}
warmup=${WARMUP:-60}
home_lat=45.5
home_lon=-122.6
radius=60
[ -x "$app" ] || {
    echo "no executable at $app (build first, or set SKYVELLE)" >&2
    exit 1
}

work=$(mktemp -d /tmp/skyvelle-resource.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state
export SKYVELLE_DEBUG_LOG=$work/debug.log
mkdir -p "$XDG_CONFIG_HOME/Skyvelle" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# The display: ours if none answers there yet.
if ! xdpyinfo -display "$display" >/dev/null 2>&1 && [ ! -e "/tmp/.X11-unix/X${display#:}" ]; then
    Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${display#:}" ] && break
        sleep 0.1
    done
fi
export DISPLAY=$display

move=()
[ "$mode" = churn ] && move=(--move)
python3 "$root/bench/feedserver.py" --fixture "$root/tests/fixtures/aggregator-point.json" \
    --count 2000 --home "$home_lat,$home_lon" --radius "$radius" "${move[@]}" >"$work/port" &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
port=$(head -1 "$work/port")
base=http://127.0.0.1:$port

cat >"$XDG_CONFIG_HOME/Skyvelle/Skyvelle.conf" <<EOF
[General]
homeLocation="{\"latitude\":$home_lat,\"longitude\":$home_lon,\"label\":\"Portland\"}"
radiusNM=$radius

[services]
feedPrimary=$base
feedSecondary=$base
tilesStandard=$base/tiles/{z}/{x}/{y}.png
tilesImagery=$base/tiles/{z}/{y}/{x}.png
tilesOverlay=$base/tiles/{z}/{y}/{x}.png
routes=http://127.0.0.1:9
photos=http://127.0.0.1:9
geocoder=http://127.0.0.1:9
EOF

"$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

# Until the feed has been answered twice and the window has settled.
for _ in $(seq 300); do
    feeds=$(python3 -c "import json,urllib.request;print(json.load(urllib.request.urlopen('$base/stats'))['feed'])" 2>/dev/null || echo 0)
    [ "$feeds" -ge 2 ] && break
    kill -0 "$app_pid" 2>/dev/null || {
        echo "the application ended:" >&2
        cat "$work/app.log" >&2
        exit 1
    }
    sleep 0.2
done
if [ "$mode" = halo ]; then
    # A second launch hands the link to the running one.
    "$app" "skyvelle://aircraft/a00011" >>"$work/app.log" 2>&1 || true
fi
sleep 5
[ -n "${SHOT:-}" ] && import -display "$display" -window root "$SHOT"

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
rss_mb() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$app_pid/status"; }

perf_pid=
if [ "${PERF:-0}" = 1 ]; then
    perf record -g -F 499 -p "$app_pid" -o "$work/perf.data" >/dev/null 2>&1 &
    perf_pid=$!
fi

start_ticks=$(cpu_ticks)
start_time=$(date +%s.%N)
rss_start=$(rss_mb)
rss_samples=("$rss_start")
rss_warm=
rss_min=
rss_max=
echo "mode $mode, $duration s, pid $app_pid, feed $base, display $display"
if [ "$mode" = churn ]; then
    printf "%8s %8s %8s\n" "t (s)" "cpu %" "rss MB"
    printf "%8d %8s %8s\n" 0 "-" "$rss_start"
fi
elapsed=0
last_ticks=$start_ticks
while [ "$elapsed" -lt "$duration" ]; do
    step=$duration
    [ "$mode" = churn ] && step=$sample
    [ $((elapsed + step)) -gt "$duration" ] && step=$((duration - elapsed))
    sleep "$step"
    elapsed=$((elapsed + step))
    kill -0 "$app_pid" 2>/dev/null || {
        echo "the application ended during the run" >&2
        exit 1
    }
    now_ticks=$(cpu_ticks)
    rss=$(rss_mb)
    rss_samples+=("$rss")
    if [ "$elapsed" -ge "$warmup" ]; then
        [ -n "$rss_warm" ] || { rss_warm=$rss rss_min=$rss rss_max=$rss; }
        rss_min=$(awk -v a="$rss_min" -v b="$rss" 'BEGIN { print (b < a ? b : a) }')
        rss_max=$(awk -v a="$rss_max" -v b="$rss" 'BEGIN { print (b > a ? b : a) }')
    fi
    if [ "$mode" = churn ]; then
        awk -v d=$((now_ticks - last_ticks)) -v s="$step" -v hz="$ticks" -v t="$elapsed" -v r="$rss" \
            'BEGIN { printf "%8d %8.2f %8s\n", t, 100 * d / hz / s, r }'
    fi
    last_ticks=$now_ticks
done
end_ticks=$(cpu_ticks)
end_time=$(date +%s.%N)
if [ -n "$perf_pid" ]; then
    kill -INT "$perf_pid" 2>/dev/null || true
    wait "$perf_pid" 2>/dev/null || true
    mkdir -p "$root/build/bench"
    cp "$work/perf.data" "$root/build/bench/perf-$mode.data"
    echo "profile: $root/build/bench/perf-$mode.data (perf report -i …)"
fi

feeds=$(python3 -c "import json,urllib.request;print(json.load(urllib.request.urlopen('$base/stats'))['feed'])")
cpu=$(awk -v d=$((end_ticks - start_ticks)) -v hz="$ticks" -v a="$start_time" -v b="$end_time" \
    'BEGIN { printf "%.2f", 100 * d / hz / (b - a) }')
echo "feed answers served: $feeds"
case "$mode" in
halo)
    verdict=$(awk -v c="$cpu" 'BEGIN { print (c <= 3 ? "meets target" : "over target") }')
    echo "CPU while the selected aircraft's halo pulses, 2,000 aircraft shown: $cpu % of a core (target <= 3 %) $verdict"
    echo "RSS: $(rss_mb) MB"
    ;;
idle)
    echo "CPU at rest, 2,000 still aircraft, nothing selected: $cpu % of a core"
    echo "RSS: $(rss_mb) MB"
    ;;
churn)
    verdict=$(awk -v c="$cpu" 'BEGIN { print (c <= 5 ? "meets target" : "over target") }')
    echo "CPU with 2,000 aircraft moving on every poll, map shown, over $duration s: $cpu % of a core (target <= 5 %) $verdict"
    mid=${rss_samples[$((${#rss_samples[@]} / 2))]}
    end=${rss_samples[-1]}
    [ -n "$rss_warm" ] || { rss_warm=$end rss_min=$end rss_max=$end; }
    awk -v s="$rss_start" -v m="$mid" -v e="$end" -v w="$rss_warm" -v lo="$rss_min" -v hi="$rss_max" \
        -v after="$warmup" 'BEGIN {
        spread = 100 * (hi - lo) / w
        printf "RSS start %.1f MB, middle %.1f MB, end %.1f MB; after %d s %.1f-%.1f MB (%.1f %% of %.1f); target < 150 MB and flat within 10 %%: %s\n",
            s, m, e, after, lo, hi, spread, w, (hi < 150 && spread <= 10 ? "meets target" : "over target") }'
    ;;
esac
