#!/usr/bin/env bash
# Prints win64 for an x86-64 Windows program and win32 for anything else.
f=$1
off=$(od -An -tu4 -j60 -N4 "$f" 2>/dev/null | tr -d ' ')
machine=$(od -An -tx2 -j$((${off:-0} + 4)) -N2 "$f" 2>/dev/null | tr -d ' ')
if [ "$machine" = 8664 ]; then echo win64; else echo win32; fi
