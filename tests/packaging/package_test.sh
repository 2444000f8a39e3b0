#!/usr/bin/env bash
# The Debian package, checked with the tools Debian checks packages with:
#   package_test.sh build BUILD_DIR       cpack makes the .deb of this tree
#   package_test.sh lintian BUILD_DIR     lintian finds no error in it
#   package_test.sh install BUILD_DIR     installed into a scratch root with its
#       maintainer scripts (the user is made there), the installed programs run
#       a simulated unit with the installed station file, the unit file passes
#       systemd-analyze verify, the manual pages render without a warning and
#       completion offers what it should; then purged, and nothing is left
# The package of the test tree carries its sanitizer build of the programs:
# what is checked here is the packaging, not the compiler's flags (scripts/
# package makes the Release package the same way). Nothing is installed on
# this machine itself.
set -euo pipefail

step=$1
build=$(cd "$2" && pwd)
out=$build/package-test
deb=$out/multitone.deb

fail() { echo "package_test: $*" >&2; exit 1; }
# The options a --help lists, one a line: "  -h,--help ...", "  --limits FILE ...".
listed_options() { grep -oE -- '^ +(-[a-zA-Z],)?--[a-z][a-z0-9-]*' | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }

case $step in
build)
  rm -rf "$out" && mkdir -p "$out"
  (cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; fail "cpack failed"; }
  mv "$out"/multitone_*.deb "$deb"
  rm -rf "$out/_CPack_Packages"
  depends=$(dpkg-deb --field "$deb" Depends)
  # libsqlite3, libfftw3 and libtirpc are loaded when first needed: declared by hand.
  [[ $depends == *libc6* && $depends == *libsqlite3* && $depends == *libfftw3* && $depends == *libtirpc3* ]] ||
    fail "library dependencies not declared: $depends"
  ;;

lintian)
  # Lintian says it should not run as root; the tags are the same.
  lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' || true
  lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
  ;;

install)
  root=$(mktemp -d "$out/root.XXXXXX")
  trap 'rm -rf "$root"' EXIT
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/etc"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  # The maintainer scripts run here with DPKG_ROOT set; the scratch root holds
  # none of the dependencies, which this machine has.
  dpkg_root=(dpkg --root="$root" --force-script-chrootless --force-depends)
  machine_users=$(sha256sum /etc/passwd /etc/group)
  "${dpkg_root[@]}" -i "$deb" >"$out/install.log" 2>&1 || { cat "$out/install.log"; fail "dpkg -i failed"; }
  grep -q '^multitone:x:[0-9]*:[0-9]*:.*:/var/lib/multitone:/usr/sbin/nologin$' "$root/etc/passwd" ||
    fail "postinst made no system user multitone"

  [ "$(sha256sum /etc/passwd /etc/group)" = "$machine_users" ] || fail "the machine's own users changed"

  bin=$root/usr/bin
  [ "$("$bin/multitone" --version)" = "multitone $(dpkg-deb -f "$deb" Version)" ] || fail "installed --version"
  [ "$("$bin/analyzer-sim" --version)" = "analyzer-sim $(dpkg-deb -f "$deb" Version)" ] || fail "analyzer-sim --version"
  station=$root/etc/multitone/station.toml
  results=$root/results && mkdir "$results"
  line=$(MULTITONE_STATION_FILE=/nonexistent "$bin/multitone" --config "$station" --analyzer sim \
    --limits "$root/usr/share/doc/multitone/examples/limits.toml" --serial PKG-1 --json-dir "$results" \
    --quiet | tail -n 1)
  [ "$line" = "PASS PKG-1 [SIMULATED]" ] || fail "simulated run with the installed station file: $line"
  ls "$results"/PKG-1-*.json >/dev/null || fail "no result file in the station's folder"
  # The installed station file names no analyzer: config check says so.
  ! "$bin/multitone" config check --config "$station" >/dev/null 2>"$out/check.err" ||
    fail "config check passed a station without an analyzer"
  grep -q 'no analyzer.address' "$out/check.err" || fail "config check: $(cat "$out/check.err")"

  # The unit as installed, its program at the scratch root's path.
  units=$(mktemp -d "$out/units.XXXXXX")
  sed "s|^ExecStart=/usr/bin/|ExecStart=$bin/|" "$root/lib/systemd/system/multitone-serve.service" \
    >"$units/multitone-serve.service"
  verify=$(MANPATH=$root/usr/share/man systemd-analyze verify "$units/multitone-serve.service" 2>&1) ||
    fail "systemd-analyze verify: $verify"
  [ -z "$verify" ] || fail "systemd-analyze verify: $verify"
  rm -rf "$units"

  for page in "$root"/usr/share/man/man*/*.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    warnings=$(zcat "$page" | groff -ww -man -z 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done

  completion=$(bash -c '
    source "$1"
    complete() { COMP_LINE=$1; COMP_POINT=${#1}; read -ra COMP_WORDS <<<"$1"
                 [[ $1 == *" " ]] && COMP_WORDS+=(""); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
                 _multitone; echo "${COMPREPLY[*]}"; }
    complete "multitone s"
    complete "multitone --analyzer sim:fault=dead"
    complete "multitone --analyzer sim:speed=1,cr"
    complete "multitone serve --token"
    complete "multitone config "' _ "$root/usr/share/bash-completion/completions/multitone" 2>&1)
  [ "$completion" = $'serve stats sync study\ndead-left dead-right\n1,crosstalk=\n--token --token-file\ncheck' ] ||
    fail "completion offered: $completion"

  # Every option a program's --help lists is in its manual page and is
  # offered by completion: a new option that misses either fails here. An
  # option is what starts a line of the help's option list, not an option
  # named inside another's description.
  for command in "" serve "config check" history stats "limits derive" sync alarms "alarms ack" "study grr" \
    "golden add" "golden status"; do
    # shellcheck disable=SC2086  # the command's words
    options=$("$bin/multitone" $command --help | listed_options)
    offered=$(bash -c 'source "$1"; COMP_LINE="multitone $2 -"; COMP_POINT=${#COMP_LINE}
      read -ra COMP_WORDS <<<"$COMP_LINE"; COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _multitone
      printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/multitone" "$command")
    missing=$(comm -23 <(echo "$options") <(echo "$offered" | sort -u))
    [ -z "$missing" ] || fail "completion of 'multitone $command' lacks" $missing
    for option in $options; do
      zgrep -qF -- "${option//-/\\-}" "$root/usr/share/man/man1/multitone.1.gz" ||
        fail "multitone(1) does not mention $option"
    done
  done
  for option in $("$bin/analyzer-sim" --help | listed_options); do
    zgrep -qF -- "${option//-/\\-}" "$root/usr/share/man/man1/analyzer-sim.1.gz" ||
      fail "analyzer-sim(1) does not mention $option"
    grep -qF -- "$option" "$root/usr/share/bash-completion/completions/analyzer-sim" ||
      fail "completion of analyzer-sim lacks $option"
  done

  "${dpkg_root[@]}" --purge multitone >"$out/purge.log" 2>&1 || { cat "$out/purge.log"; fail "dpkg --purge failed"; }
  ! grep -q '^multitone:' "$root/etc/passwd" || fail "purge left the user multitone"
  left=$(cd "$root" && find . -mindepth 1 ! -path './var/lib/dpkg*' ! -path './var/lib' ! -path './var' \
    ! -path ./etc ! -path ./results ! -path './results/*' ! -path './etc/passwd*' ! -path './etc/group*' \
    ! -path './etc/shadow*' ! -path './etc/gshadow*' ! -path ./etc/.pwd.lock)
  [ -z "$left" ] || fail "purge left: $left"
  ;;

*) fail "no step $step" ;;
esac
