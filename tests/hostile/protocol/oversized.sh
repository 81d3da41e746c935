#!/bin/sh
# A hello line far over the longest line allowed.
printf 'hello\t1\t' >&3
head -c 100000 /dev/zero | tr '\000' a >&3
printf '\t\n' >&3
exec sleep 1000
