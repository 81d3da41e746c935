#!/bin/sh
# Calls an object it never created.
printf 'hello\t1\tstranger\t\n' >&3
read -r welcome <&3
read -r start <&3
printf 'call\t7\tLireClavier\n' >&3
exec sleep 1000
