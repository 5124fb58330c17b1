#!/usr/bin/env bash
# Succeeds when this machine runs 32-bit x86 programs, which 32-bit Wine needs. Some kernels
# are booted with their 32-bit emulation switched off; the Windows tests then run in a
# 64-bit build of the same sources under 64-bit Wine.
loader=/lib/ld-linux.so.2
[ -x "$loader" ] && "$loader" --version >/dev/null 2>&1
