#!/usr/bin/env bash
# Writes the scale benchmark's arena to standard output: a 20 m square floor
# and 1000 pushable cylinders on a jittered 0.6 m grid over it (none within
# 0.5 m of the robot's start), the same file on every machine (the jitter
# comes from a fixed integer generator, not from awk's own).
#
#   bench/make-crowded-arena.sh > /tmp/crowded.txt
set -euo pipefail
awk 'BEGIN {
  state = 12345
  print "object Ground: TBasicFloor"
  print "  Position = 0 0 0"
  print "  Length = 20"
  print "  Width = 20"
  print "end"
  n = 0
  for (i = 0; i < 32 && n < 1000; i++) {
    for (j = 0; j < 32 && n < 1000; j++) {
      x = -9.3 + 0.6 * i
      y = -9.3 + 0.6 * j
      if (x > -0.5 && x < 0.5 && y > -0.5 && y < 0.5) continue
      state = (state * 48271) % 2147483647; jx = state / 2147483647 - 0.5
      state = (state * 48271) % 2147483647; jy = state / 2147483647 - 0.5
      state = (state * 48271) % 2147483647; r = 0.03 + 0.07 * state / 2147483647
      n++
      printf "object Can%d: TCylinderZ\n  Position = %.3f %.3f 0\n  Radius = %.3f\n  Height = 0.12\n  Mass = 0.2\nend\n", n, x + 0.4 * jx, y + 0.4 * jy, r
    }
  }
}'
