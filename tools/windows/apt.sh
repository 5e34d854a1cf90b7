# shellcheck shell=bash
# Debian package helpers shared by the project's scripts; sourced, not run.
#   apt_install_missing PACKAGE...   installs those not yet installed (one update first)
#   apt_enable_sources               makes `apt-get source` work (adds a deb-src entry)
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
apt_updated=0

apt_get() {
  # Other builds on the same machine may hold the package lock for a while.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

apt_update_once() {
  [ "$apt_updated" = 1 ] && return 0
  apt_get update -q >&2
  apt_updated=1
}

apt_install_missing() {
  local p missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
  done
  [ -n "$missing" ] || return 0
  echo "Installing:$missing" >&2
  apt_update_once
  # shellcheck disable=SC2086
  apt_get install -y -q --no-install-recommends $missing >&2
}

# `apt-get source` needs a deb-src entry for the Debian archive; a machine's sources list
# often carries only binary entries, so one is added when there is none.
apt_enable_sources() {
  local src_list=/etc/apt/sources.list.d/dirivararez-deb-src.sources codename
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb-src\nURIs: http://deb.debian.org/debian-security\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$codename" "$codename" "$codename" | $SUDO tee "$src_list" >/dev/null
    apt_updated=0
  fi
  apt_update_once
}
