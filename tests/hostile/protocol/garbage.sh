#!/bin/sh
# Bytes that are no line of the protocol.
printf '\377\376garbage\000\n' >&3
exec sleep 1000
