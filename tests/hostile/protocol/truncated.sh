#!/bin/sh
# A hello cut short by the end of the process.
printf 'hello\t1\ttruncated' >&3
