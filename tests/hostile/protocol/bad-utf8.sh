#!/bin/sh
# A name that is not UTF-8.
printf 'hello\t1\t\377\376\t\n' >&3
exec sleep 1000
