#!/bin/sh
# Says nothing at all: never a hello.
exec sleep 1000
