#!/usr/bin/env bash
# Plots map load time against quad count, indexed and with plain list scans, from the scale
# benchmark's JSON output. Usage: plot-load.sh FIGURES.json OUTPUT.png
set -euo pipefail
json=$1 out=$2
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
# Each run is an object whose "name" line ("BM_LoadMap/QUADS/INDEXED/...") comes before its
# "real_time" line (milliseconds).
awk -v dir="$data" '
  /"name": "BM_LoadMap\// { split($0, parts, "/"); quads = parts[2]; indexed = parts[3]; next }
  /"real_time":/ && quads != "" {
    gsub(/[^0-9.e+-]/, "", $2); print quads, $2 / 1000 >> (dir "/" indexed ".dat"); quads = ""
  }' "$json"
gnuplot <<PLOT
set terminal pngcairo size 720,440 noenhanced
set output "$out"
set title "Map load time against quad count (Release, 2 cores)"
set xlabel "quads in map.txt"
set ylabel "seconds"
set logscale xy
set key top left
set grid
plot "$data/1.dat" using 1:2 with linespoints title "quad index", \
     "$data/0.dat" using 1:2 with linespoints title "plain list scans"
PLOT
