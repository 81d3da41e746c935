# The Debian packages each use of the project needs; sourced by run.sh and test.sh.
PAQUETS_CONSTRUCTION=(g++ cmake ninja-build pkg-config)
PAQUETS_FENETRE=(qt6-base-dev libgl-dev libjpeg-dev fonts-liberation)
PAQUETS_TESTS=(libgtest-dev libgmock-dev)
# Hardening (tools/durcissement.sh): clang with libFuzzer and its sanitizer runtimes.
PAQUETS_DURCISSEMENT=(clang libclang-rt-14-dev)
