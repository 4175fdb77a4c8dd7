#!/usr/bin/env bash
# Installs the Debian packages the project needs and generates the system
# locales the window tests run in. Idempotent: runs `apt-get update` once,
# installs only what is missing, and generates only missing locales.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang clang-format
  libsqlite3-dev libpq-dev postgresql
  qt6-base-dev libqt6sql6-sqlite libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libfmt-dev libicu-dev
  sqlite3 xvfb xauth xdotool locales
)
# The window tests drive the screen as American, British and German users.
locales=(en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# `locale -a` names them in lower case without the dash: en_US.utf8.
have_locale() {
  local wanted
  wanted=$(echo "$1" | tr '[:upper:]' '[:lower:]' | sed 's/utf-8$/utf8/')
  locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | grep -qx "$wanted"
}
generate=()
for l in "${locales[@]}"; do
  have_locale "$l" || generate+=("$l")
done
if [ ${#generate[@]} -gt 0 ]; then
  echo "install-deps: generating the locales ${generate[*]}"
  for l in "${generate[@]}"; do
    # Enable the locale in /etc/locale.gen (uncomment it, or add it).
    if grep -Eq "^# *$l UTF-8" /etc/locale.gen 2>/dev/null; then
      "${sudo_cmd[@]}" sed -i -E "s/^# *($l UTF-8)/\\1/" /etc/locale.gen
    elif ! grep -Eq "^$l UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$l UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
