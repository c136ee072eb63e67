#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; installs only
# what is missing, so a second run does nothing.
set -euo pipefail

packages=(
    # ccache: build.sh compiles through it, so a rebuild or a fresh clone is quick.
    build-essential cmake pkg-config ccache
    qt6-base-dev qt6-base-dev-tools libgl-dev
    fonts-arphic-uming
    unixodbc unixodbc-dev tdsodbc odbc-postgresql
    # Kerberos (GSSAPI) for integrated SQL Server logins; OpenSSL for the TDS test
    # peer's TLS and NTLM checks.
    libkrb5-dev libssl-dev
    # The throw-away Kerberos realm the integrated-login tests run on loopback: the KDC,
    # kdb5_util and kadmin.local to make it, kinit to get the user's ticket.
    krb5-kdc krb5-admin-server krb5-user
    libsqlite3-dev sqlite3 postgresql
    xvfb xauth x11vnc imagemagick
    python3-xlrd python3-olefile
    # SMB browsing of the network page (libsmbclient), its messenger (smbclient -M) and
    # the Samba server its tests start on loopback.
    libsmbclient-dev smbclient samba
    # Qt's own Traditional Chinese texts (qtbase_zh_TW.qm) and a Traditional Chinese
    # font: without one every caption is drawn as empty boxes.
    qt6-translations-l10n fonts-noto-cjk
    # The package check: the validators of the desktop entry, the AppStream metadata and
    # the .deb, and xwininfo to see the installed program's window come up.
    desktop-file-utils appstream lintian x11-utils
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    echo "dependencies: all installed"
    exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2
    exit 1
fi

echo "dependencies: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "dependencies: done"
