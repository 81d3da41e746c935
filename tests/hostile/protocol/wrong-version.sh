#!/bin/sh
# Speaks a version of the protocol that does not exist.
printf 'hello\t99\tfuture\t\n' >&3
exec sleep 1000
