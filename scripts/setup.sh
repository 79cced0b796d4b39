#!/usr/bin/env bash
# setup.sh LIST...: installs the Debian packages of scripts/packages-LIST.txt that are not
# installed yet. "run" is what building and running Vestrel need; "test" what the tests add.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if (($# == 0)); then
  echo "usage: setup.sh run [test]" >&2
  exit 2
fi

missing=()
for list in "$@"; do
  while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done < "$here/packages-$list.txt"
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
