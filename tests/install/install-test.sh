#!/usr/bin/env bash
# The installed package as a user meets it (CTest label install).
#
#   install-test.sh prefix  SOURCE BUILD WORK   installs the build tree (stripped) into WORK/prefix
#   install-test.sh headers SOURCE BUILD WORK   every installed header includes only installed
#                                               headers and compiles alone; the package's
#                                               components; the Qt window's icons
#   install-test.sh example SOURCE BUILD WORK   builds examples/customers against WORK/prefix
#                                               and runs it headless and off screen
#   install-test.sh guide   SOURCE BUILD WORK   runs docs/guide.md's code blocks (needs the
#                                               PostgreSQL test server: KIV_PG_URI_FILE)
#   install-test.sh deb     SOURCE BUILD WORK   cpack -G DEB, lists the packages' contents and
#                                               dependencies, unpacks them and builds the
#                                               example against the unpacked tree
#
# Everything lands in WORK (in the build tree), kept after the run for a look.
set -euo pipefail

step=$1
source_dir=$(cd "$2" && pwd)
build_dir=$(cd "$3" && pwd)
mkdir -p "$4"
work=$(cd "$4" && pwd)
prefix=$work/prefix

die() {
  echo "install-test $step: $*" >&2
  exit 1
}

# Configures and builds a CMake project against the given prefix.
build_project() {
  local src=$1 bin=$2 prefix_path=$3
  local generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  rm -rf "$bin"
  cmake -S "$src" -B "$bin" "${generator[@]}" "${launcher[@]}" -DCMAKE_PREFIX_PATH="$prefix_path" \
    >"$bin.configure.log" 2>&1 || {
    cat "$bin.configure.log" >&2
    die "configuring $src against $prefix_path failed"
  }
  cmake --build "$bin" -j 2 || die "building $src against $prefix_path failed"
}

# Runs a program as a user without a display would.
headless() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"
}

# The example built against a prefix: its tour must pass headless; with the
# Qt front end installed it renders its window off screen.
run_example() {
  local bin=$1 prefix_path=$2
  (cd "$bin" && headless ./customers) | tee "$bin.out"
  grep -qx "0 of the tour's checks failed" "$bin.out" || die "the example's tour failed"
  if [ -f "$prefix_path/lib/cmake/KivControls/KivControls-qt-targets.cmake" ]; then
    (cd "$bin" && QT_QPA_PLATFORM=offscreen ./customers --screenshot screen.png sqlite:window.db)
    [ "$(head -c 4 "$bin/screen.png" | od -An -c | tr -d ' ')" = "211PNG" ] ||
      die "the example's window was not rendered to $bin/screen.png"
  fi
}

case $step in
prefix)
  rm -rf "$work"
  mkdir -p "$work"
  start=$(date +%s%N)
  cmake --install "$build_dir" --prefix "$prefix" --strip >"$work/install.log"
  echo "installed into $prefix in $((($(date +%s%N) - start) / 1000000)) ms:"
  (cd "$prefix" && find . -type f | sort | grep -v -e '^./share/kivcontrols/samples/' \
    -e '^./share/doc/kivcontrols/examples/')
  ;;

headers)
  cd "$prefix/include"
  status=0
  while IFS= read -r header; do
    while IFS= read -r included; do
      case $included in
      kiv/*) [ -f "$included" ] || {
        echo "$header includes $included, which is not installed" >&2
        status=1
      } ;;
      *) echo "$header includes \"$included\", which is no library header" >&2; status=1 ;;
      esac
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$header")
  done < <(find kiv -name '*.h' | sort)
  impl=$(find kiv -name '*Impl.h')
  [ -z "$impl" ] || { echo "private headers installed: $impl" >&2; status=1; }
  [ $status -eq 0 ] || die "the installed headers are not self-contained"
  echo "$(find kiv -name '*.h' | wc -l) headers include only installed headers"
  build_project "$source_dir/tests/install/consumer" "$work/consumer" "$prefix"
  if [ -x "$work/consumer/qt_icons" ]; then QT_QPA_PLATFORM=offscreen "$work/consumer/qt_icons"; fi
  ;;

example)
  build_project "$source_dir/examples/customers" "$work/example" "$prefix"
  run_example "$work/example" "$prefix"
  ;;

guide)
  # Every fenced block of the guide carries its file name after the language
  # ("```cpp screen.cpp"); blocks of the same name are joined in order. The
  # blocks written *.sh run in the order they first appear, in a fresh folder,
  # as a user following the guide runs them, with the install on the PATH.
  guide=$work/guide
  rm -rf "$guide"
  mkdir -p "$guide"
  awk -v out="$guide" '
    /^```/ && !inside {
      inside = 1
      n = split(substr($0, 4), words, " ")
      if (n < 2) { printf "docs/guide.md:%d: a code block without a file name\n", NR > "/dev/stderr"; bad = 1; file = "/dev/null" }
      else { file = out "/" words[2]; if (!(file in seen)) { seen[file] = 1; order[++count] = words[2] } }
      next
    }
    /^```/ && inside { inside = 0; next }
    inside { print > file }
    END {
      for (i = 1; i <= count; i++) print order[i] > (out "/.order")
      if (inside) { print "docs/guide.md: an unclosed code block" > "/dev/stderr"; bad = 1 }
      exit bad
    }' "$source_dir/docs/guide.md" || die "docs/guide.md has blocks that cannot be checked"
  echo "guide files: $(tr '\n' ' ' <"$guide/.order")"

  # A fresh database on the PostgreSQL test server for the guide's pg blocks.
  uri_file=${KIV_PG_URI_FILE:-}
  [ -n "$uri_file" ] && [ -s "$uri_file" ] || die "no PostgreSQL test server (KIV_PG_URI_FILE)"
  server=$(head -n 1 "$uri_file")
  database=kivguide_$$
  psql "$server" -X -q -v ON_ERROR_STOP=1 -c "CREATE DATABASE $database" >/dev/null
  trap 'psql "$server" -X -q -c "DROP DATABASE IF EXISTS $database" >/dev/null 2>&1 || true' EXIT
  export PGURI=${server%/*}/$database

  export PATH=$prefix/bin:$PATH
  export CMAKE_PREFIX_PATH=$prefix
  command -v ccache >/dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CMAKE_BUILD_PARALLEL_LEVEL=2
  ran=0
  while IFS= read -r name; do
    case $name in
    *.sh)
      echo "=== $name"
      (cd "$guide" && headless bash -euo pipefail "./$name") || die "the guide's $name failed"
      ran=$((ran + 1))
      ;;
    esac
  done <"$guide/.order"
  [ $ran -gt 0 ] || die "the guide has no blocks to run"
  ;;

deb)
  deb=$work/deb
  rm -rf "$deb"
  mkdir -p "$deb"
  start=$(date +%s%N)
  (cd "$build_dir" && cpack -G DEB -B "$deb" >"$deb/cpack.log") || {
    cat "$deb/cpack.log" >&2
    die "cpack failed"
  }
  echo "packaged in $((($(date +%s%N) - start) / 1000000)) ms"
  runner=$(ls "$deb"/kivcontrols_*.deb)
  dev=$(ls "$deb"/libkivcontrols-dev_*.deb)
  for package in "$runner" "$dev"; do
    echo "=== $(basename "$package") ($(du -k "$package" | cut -f1) KiB)"
    dpkg-deb --field "$package" Package Version Architecture Depends Recommends
    dpkg-deb --contents "$package" | awk '{print $6}' | grep -v '/$' |
      grep -v -e '/samples/' -e '/examples/'
  done
  # The runner's libraries come from dpkg-shlibdeps; the development
  # package names the -dev packages of the headers' and libraries' dependencies.
  depends=$(dpkg-deb --field "$runner" Depends)
  wanted_runtime=(libc6 libstdc++6 libsqlite3-0 libpq5 libicu)
  with_qt=no
  [ -f "$prefix/lib/cmake/KivControls/KivControls-qt-targets.cmake" ] && with_qt=yes
  [ $with_qt = yes ] && wanted_runtime+=(libqt6widgets6)
  for wanted in "${wanted_runtime[@]}"; do
    grep -q "\b$wanted" <<<"$depends" || die "kivcontrols does not depend on $wanted: $depends"
  done
  depends=$(dpkg-deb --field "$dev" Depends)
  wanted_dev=(libsqlite3-dev libpq-dev libicu-dev libfmt-dev nlohmann-json3-dev)
  [ $with_qt = yes ] && wanted_dev+=(qt6-base-dev)
  for wanted in "${wanted_dev[@]}"; do
    grep -q "\b$wanted\b" <<<"$depends" || die "libkivcontrols-dev does not depend on $wanted"
  done
  # Every dependency is a Debian package, installed here (this machine built
  # and runs the library).
  for name in $( (dpkg-deb --field "$runner" Depends && dpkg-deb --field "$dev" Depends) |
    tr ',|' '\n\n' | sed 's/(.*//' | tr -d ' '); do
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
      die "the dependency $name is no installed Debian package"
  done
  # The packages hold what cmake --install puts in place.
  diff <(cd "$prefix" && find . -type f | sort) \
    <(for p in "$runner" "$dev"; do dpkg-deb --contents "$p"; done | awk '{print $6}' |
      grep -v '/$' | sed 's|^\./usr/|./|' | sort) || die "the packages and the install differ"
  # As a user on a machine with the packages: the example builds and runs.
  dpkg-deb -x "$runner" "$deb/root"
  dpkg-deb -x "$dev" "$deb/root"
  build_project "$source_dir/examples/customers" "$deb/example" "$deb/root/usr"
  run_example "$deb/example" "$deb/root/usr"
  # The packaged runner on the packaged samples: a tour script headless, and
  # the screen rendered off screen.
  samples=$deb/root/usr/share/kivcontrols/samples
  sqlite3 "$deb/orders.db" <"$samples/orders.sql"
  headless "$deb/root/usr/bin/kivform" "$samples/customers.json" --db "sqlite:$deb/orders.db" \
    --script "$samples/tour/01-navigation.script" >"$deb/kivform.out" ||
    die "the packaged kivform failed its tour: $(tail -n 5 "$deb/kivform.out")"
  tail -n 1 "$deb/kivform.out"
  if [ $with_qt = yes ]; then
    QT_QPA_PLATFORM=offscreen "$deb/root/usr/bin/kivform" "$samples/customers.json" \
      --db "sqlite:$deb/orders.db" --screenshot "$deb/customers.png" ||
      die "the packaged kivform cannot render its window"
  fi
  ;;

*)
  die "unknown step (prefix, headers, example, guide, deb)"
  ;;
esac
