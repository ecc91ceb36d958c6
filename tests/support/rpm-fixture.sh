#!/bin/sh
# Real rpm databases in scratch roots, made by rpm's own tools.
#   rpm-fixture.sh sqlite WORK ROOT [BULK]  the probe packages (epoch, vendor with a
#       long description, packager only, odd name), BULK more plain ones and, where gpg
#       is, one signing key,
#       installed with --justdb into ROOT/var/lib/rpm/rpmdb.sqlite
#   rpm-fixture.sh bdb FROM ROOT             FROM's headers as a Berkeley DB hash
#       ROOT/var/lib/rpm/Packages, checked by rpm's read-only bdb backend
#   rpm-fixture.sh relayout FROM ROOT        FROM's sqlite database laid out again by
#       sqlite in 512-byte pages with 8 bytes reserved in each: a deeper tree, and every
#       header on overflow pages
#   rpm-fixture.sh pending FROM ROOT         FROM's sqlite database with its first
#       package erased in a -wal not yet copied into the file, as a writer that stopped
#       before its checkpoint leaves it
# Exits 77 when a tool is missing, with its name on standard error.
set -eu
need() { for tool; do command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 77; }; done; }
db() { r=$1; shift; rpm --root "$r" --dbpath /var/lib/rpm "$@"; }

case $1 in
sqlite)
    need rpm rpmbuild
    work=$2 root=$3 bulk=${4:-0}  # absolute paths, as rpm --root wants
    mkdir -p "$work" "$root"
    {
        printf 'Name: velprobe\nVersion: 1.2.3\nRelease: 4\nSummary: probe\nLicense: MIT\nBuildArch: noarch\n'
        printf '%%description\nprobe\n%%files\n'
        printf '%%package beta\nSummary: b\nEpoch: 2\nVersion: 0.9\nRelease: 1\n%%description beta\nb\n%%files beta\n'
        printf '%%package vendor\nSummary: v\nVendor: Probe Vendor Inc.\nPackager: P <p@example.org>\n'
        # A description long enough that the header spills onto sqlite's overflow pages.
        printf '%%description vendor\n'
        i=0
        while [ "$i" -lt 300 ]; do i=$((i + 1)); printf 'Line %s of a description that runs on.\n' "$i"; done
        printf '%%files vendor\n'
        printf '%%package packager\nSummary: p\nPackager: Pat Packager <pat@example.org>\n'
        printf '%%description packager\np\n%%files packager\n'
        printf '%%package odd+name_x.y\nSummary: o\n%%description odd+name_x.y\no\n%%files odd+name_x.y\n'
        i=0
        while [ "$i" -lt "$bulk" ]; do
            i=$((i + 1))
            printf '%%package bulk%s\nSummary: b\n%%description bulk%s\nb\n%%files bulk%s\n' "$i" "$i" "$i"
        done
    } >"$work/probe.spec"
    rpmbuild --quiet --define "_topdir $work/rb" --define "_dbpath $work/rb/db" -bb "$work/probe.spec" >/dev/null
    db "$root" --initdb
    # Debian's rpm warns that alien should be used instead: true, and beside the point here.
    db "$root" -i --nodeps --justdb "$work"/rb/RPMS/noarch/*.rpm 2>"$work/install.log" ||
        { cat "$work/install.log" >&2; exit 1; }
    if command -v gpg >/dev/null && [ -r /usr/share/keyrings/debian-archive-bookworm-stable.gpg ]; then
        mkdir -p -m 700 "$work/gnupg"
        gpg -q --homedir "$work/gnupg" --import /usr/share/keyrings/debian-archive-bookworm-stable.gpg 2>/dev/null
        gpg -q --homedir "$work/gnupg" --export --armor >"$work/key.asc"
        # The agent gpg started would outlive the scratch folder and race its removal.
        gpgconf --homedir "$work/gnupg" --kill all
        db "$root" --import "$work/key.asc"
    fi
    ;;
bdb)
    need rpm sqlite3 db5.3_load
    from=$2 root=$3
    mkdir -p "$root/var/lib/rpm"
    # db_load's text form: keys as 4 little-endian bytes, every byte escaped as \xx.
    sqlite3 "$from/var/lib/rpm/rpmdb.sqlite" "SELECT printf('%08x', hnum), lower(hex(blob)) FROM Packages" |
        awk -F'|' '{ k = $1; print substr(k,7,2) substr(k,5,2) substr(k,3,2) substr(k,1,2); print $2 }' |
        sed 's/../\\&/g' >"$root/dump"
    db5.3_load -T -t hash -f "$root/dump" "$root/var/lib/rpm/Packages"
    rm "$root/dump"
    # rpm skips a header it finds damaged and still succeeds: count them.
    [ "$(db "$root" --define '_db_backend bdb_ro' -qa 2>/dev/null | wc -l)" = "$(db "$from" -qa | wc -l)" ]
    ;;
relayout)
    need sqlite3
    from=$2 root=$3
    mkdir -p "$root/var/lib/rpm"
    cp "$from/var/lib/rpm/rpmdb.sqlite" "$root/var/lib/rpm/"
    # The reserved bytes apply from the next VACUUM, once the page size has changed.
    sqlite3 "$root/var/lib/rpm/rpmdb.sqlite" 'PRAGMA journal_mode=DELETE' 'PRAGMA page_size=512' VACUUM \
        '.filectrl reserve_bytes 8' VACUUM 'PRAGMA journal_mode=WAL' >/dev/null
    ;;
pending)
    need rpm sqlite3
    from=$2 root=$3
    mkdir -p "$root/var/lib/rpm"
    cp "$from/var/lib/rpm/rpmdb.sqlite" "$root/var/lib/rpm/"
    cp "$from/var/lib/rpm/rpmdb.sqlite" "$root/writer.sqlite"
    # The writer's log, taken while its connection is open: closing would copy it in.
    sqlite3 "$root/writer.sqlite" 'PRAGMA journal_mode=WAL' 'PRAGMA wal_autocheckpoint=0' \
        'DELETE FROM Packages WHERE hnum = (SELECT min(hnum) FROM Packages)' \
        ".shell cp '$root/writer.sqlite-wal' '$root/var/lib/rpm/rpmdb.sqlite-wal'" >/dev/null
    rm -f "$root"/writer.sqlite*
    [ -s "$root/var/lib/rpm/rpmdb.sqlite-wal" ]
    [ "$(db "$root" -qa | wc -l)" = "$(($(db "$from" -qa | wc -l) - 1))" ]
    ;;
esac
