#!/usr/bin/env bash
# Checks the Debian package: builds it (scripts/package.sh), has lintian find no error in it, lists
# what it holds and checks that its dependencies pull in no development package or compiler.
# Then, as root on Debian, installs it with apt-get, runs both programs from /usr/bin (a short
# simple test on the bundled sample, compared with the built program's), removes it again and
# checks that nothing of it is left.
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "package check: $*"; }
fail() {
    echo "package check: FAILED: $*" >&2
    exit 1
}

if [ ! -f /etc/debian_version ] || ! command -v dpkg >/dev/null; then
    say "not a Debian system: the package is not built, and the install step is skipped"
    exit 0
fi
scripts/install-deps.sh dpkg-dev file lintian
deb=$(scripts/package.sh | tail -n 1)
[ -f "$deb" ] || fail "scripts/package.sh made no package"
version=$(build/package/kavro-batch --version | sed 's/^kavro-batch //')
say "built $deb"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package's version is not $version"

# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian found errors"
say "lintian: no errors"

echo "Contents of $(basename "$deb"):"
dpkg-deb --contents "$deb" | awk '{ print "  " $NF }'
contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for f in usr/bin/kavro usr/bin/kavro-batch usr/share/applications/kavro.desktop \
    usr/share/icons/hicolor/256x256/apps/kavro.png usr/share/icons/hicolor/scalable/apps/kavro.svg \
    usr/share/man/man1/kavro.1.gz usr/share/man/man1/kavro-batch.1.gz usr/share/doc/kavro/README.md \
    usr/share/doc/kavro/copyright usr/share/doc/kavro/changelog.gz; do
    grep -qx "./$f" <<<"$contents" || fail "the package lacks /$f"
done

# Everything the dependencies pull in, to the last one: runtime libraries only.
depends=$(dpkg-deb --field "$deb" Depends)
say "Depends: $depends"
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/[[:space:]]//g' | grep -v '^$')
# shellcheck disable=SC2086  # one argument per dependency
pulled=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances $names | grep -v '^ ' | sort -u)
development=$(grep -E -e '-dev$' -e '^(gcc|g\+\+|cpp|clang|cmake|make)(-[0-9.]+)?$' <<<"$pulled" || true)
[ -z "$development" ] || fail "the dependencies pull in $(tr '\n' ' ' <<<"$development")"
say "the dependencies pull in $(wc -l <<<"$pulled") packages, none of them for development"

if [ "$(id -u)" -ne 0 ]; then
    say "not root: the install step is skipped"
    exit 0
fi
if dpkg-query -W -f='${Status}' kavro 2>/dev/null | grep -q "install ok installed"; then
    say "kavro is installed on this machine already: the install step is skipped, leaving it as it is"
    exit 0
fi
scratch=$(mktemp -d)
# A check that fails half way still takes the package off the machine.
trap 'rm -rf "$scratch"; if dpkg-query -W kavro >/dev/null 2>&1; then apt-get purge -y -qq kavro >/dev/null 2>&1 || true; fi' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
echo "dpkg -L kavro:"
dpkg -L kavro | sed 's/^/  /'
installed=$(dpkg -L kavro)

[ "$(/usr/bin/kavro-batch --version)" = "kavro-batch $version" ] || fail "/usr/bin/kavro-batch --version"
[ "$(/usr/bin/kavro --version)" = "kavro $version" ] || fail "/usr/bin/kavro --version"
run=(simple --hourly data/EURUSD_H1.PRN --daily data/EURUSD_D1.PRN --step 0 --first-hour 9 --last-hour 9
    --sl 70 --no-beep)
mkdir "$scratch/installed" "$scratch/built"
/usr/bin/kavro-batch "${run[@]}" --dir "$scratch/installed" >"$scratch/installed.out"
build/package/kavro-batch "${run[@]}" --dir "$scratch/built" >"$scratch/built.out"
cmp -s "$scratch/installed.out" "$scratch/built.out" || fail "/usr/bin/kavro-batch simple differs from the built one"
cmp -s "$scratch/installed/RIPOT" "$scratch/built/RIPOT" || fail "/usr/bin/kavro-batch wrote another RIPOT"
say "/usr/bin/kavro-batch simple on data/: $(grep -E '^(Label6\(3\)|PassesDone|BarsWithoutDay)=' "$scratch/installed.out" | tr '\n' ' ')"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kavro >/dev/null
! dpkg-query -W -f='${db:Status-Abbrev}' kavro 2>/dev/null | grep -q '^.[ic]' || fail "kavro is still known to dpkg"
left=$(grep kavro <<<"$installed" | while read -r p; do [ ! -e "$p" ] || echo "$p"; done)
[ -z "$left" ] || fail "apt-get remove left $(tr '\n' ' ' <<<"$left")"
say "installed, ran from /usr/bin and removed; nothing of it is left"
