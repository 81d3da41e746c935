#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet. Safe to run again:
# with everything present it changes nothing and needs no network.
set -euo pipefail
manquants=()
for paquet in "$@"; do
    dpkg-query -W -f='${Status}' "$paquet" 2>/dev/null | grep -q 'install ok installed' || manquants+=("$paquet")
done
((${#manquants[@]} == 0)) && exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Missing packages (${manquants[*]}) and no sudo to install them." >&2; exit 1; }
    sudo=(sudo)
fi
echo "Installing: ${manquants[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${manquants[@]}"
