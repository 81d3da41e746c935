# The Debian packages each use of the project needs; sourced by run.sh and test.sh.
# nlohmann-json3-dev: every JSON borne reads or writes. help2man writes the manual pages from the programs'
# --help; dpkg-dev's dpkg-shlibdeps (with file, which tells it the programs) gives the Debian package its
# Depends.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config nlohmann-json3-dev help2man dpkg-dev file)
# graphviz: dot lays out the bench window's state diagram while the window is built.
WINDOW_PACKAGES=(qt6-base-dev libgl-dev libjpeg-dev fonts-liberation graphviz)
# python3 and bubblewrap: controllers in Python, and the sandbox a class's controllers run in;
# chromium-headless-shell: the report pages opened in a real browser (tests/report/, with python3).
TEST_PACKAGES=(libgtest-dev libgmock-dev libxml2-utils python3 bubblewrap chromium-headless-shell)
# Hardening (tools/harden.sh): clang with libFuzzer and its sanitizer runtimes.
HARDEN_PACKAGES=(clang libclang-rt-14-dev)
