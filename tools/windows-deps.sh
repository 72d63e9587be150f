#!/usr/bin/env bash
# Builds the Windows dependencies (zlib, libpng, curl with schannel, wxWidgets base/net/core, the
# MQTT client library of the bridge) for
# MinGW-w64 from Debian's own source packages, static, into a cache folder outside the tree.
#
#   tools/windows-deps.sh [--arch x86_64|i686] [--cache DIR] [--jobs N] [--force | --check]
#
# The cache is DIR/<arch> (DIR defaults to $TAVLIN_WINDOWS_DEPS or /var/cache/tavlin-windows). It
# records the source versions and the recipe it was built from (DIR/<arch>/VERSIONS) and is reused
# as it is when they match. Sources are fetched once with `apt-get source --download-only` into
# DIR/src (a deb-src entry for the Debian archive must be configured). Static libraries, so that
# the DLL and the programs built against them need nothing beside them on the Windows PC.
# --check builds and fetches nothing: it exits 0 when the cache is up to date, 1 when it is not.
set -euo pipefail

arch=x86_64
root=${TAVLIN_WINDOWS_DEPS:-/var/cache/tavlin-windows}
jobs=$(nproc)
force=0
check=0
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) arch=$2; shift 2 ;;
    --cache) root=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --force) force=1; shift ;;
    --check) check=1; shift ;;
    -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "windows-deps: unknown argument $1" >&2; exit 2 ;;
    esac
done
case "$arch" in x86_64 | i686) ;; *) echo "windows-deps: --arch x86_64 or i686" >&2; exit 2 ;; esac
host=$arch-w64-mingw32
prefix=$root/$arch
src=$root/src
# Bump a part's number when the way it is configured changes: that part, and those built after it
# (they link against it), are rebuilt; the parts before it are kept.
declare -A recipe=([zlib]=3 [libpng]=3 [curl]=3 [wxWidgets]=4 [mosquitto]=1)
packages=(zlib libpng1.6 curl wxwidgets3.2 mosquitto)

not_current() {
    echo "windows-deps: $prefix is not up to date: $1" >&2
    exit 1
}
if [ $check = 1 ]; then
    # Asked before the build tools are installed (CI installs them only for a current cache):
    # the compiler then counts as the one the cache records, and is compared once it is there.
    recorded=$(cat "$prefix/VERSIONS" 2>/dev/null) || not_current "no VERSIONS"
    compiler=$(sed -n 's/.* compiler=\([^ ]*\).*/\1/p' <<<"$recorded")
    command -v $host-gcc >/dev/null && compiler=$($host-gcc -dumpversion)
else
    for tool in $host-gcc $host-g++ dpkg-source; do
        command -v "$tool" >/dev/null || { echo "windows-deps: $tool is missing" >&2; exit 1; }
    done
    compiler=$($host-gcc -dumpversion)
    mkdir -p "$src" "$prefix"
fi

# The .dsc of a package in $src, fetching one when absent. The newest source version comes first;
# a mirror may not carry it yet (a security update), so older versions of the archive are tried.
dsc_of() {
    local pkg=$1 f v
    f=$(ls -1 "$src/${pkg}_"*.dsc 2>/dev/null | sort -V | tail -n1 || true)
    [ -n "$f" ] || [ $check = 0 ] || not_current "no source of $pkg in $src"
    if [ -z "$f" ]; then
        for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -rV | uniq); do
            if (cd "$src" && apt-get source --download-only -qq "$pkg=$v" >/dev/null 2>&1); then
                break
            fi
        done
        f=$(ls -1 "$src/${pkg}_"*.dsc 2>/dev/null | sort -V | tail -n1 || true)
    fi
    [ -n "$f" ] || { echo "windows-deps: no source of $pkg (is a deb-src entry configured?)" >&2; exit 1; }
    echo "$f"
}

declare -A dsc
for p in "${packages[@]}"; do dsc[$p]=$(dsc_of "$p"); done
version() { sed -n 's/^Version: //p' "${dsc[$1]}"; }
# What each part is built from, chained: a part's key holds the keys of the parts before it.
declare -A key
chain="host=$host compiler=$compiler"
for pair in zlib:zlib libpng:libpng1.6 curl:curl wxWidgets:wxwidgets3.2 mosquitto:mosquitto; do
    name=${pair%%:*}
    chain+=" $name=$(version "${pair#*:}")/${recipe[$name]}"
    key[$name]=$chain
done
wanted=$chain
if [ $force = 0 ] && [ -f "$prefix/VERSIONS" ] && [ "$(cat "$prefix/VERSIONS")" = "$wanted" ]; then
    echo "windows-deps: $prefix is up to date ($wanted)"
    exit 0
fi
[ $check = 0 ] || not_current "wants $wanted"

echo "windows-deps: building $wanted into $prefix"
if [ $force = 1 ]; then
    rm -rf "$prefix"
fi
mkdir -p "$prefix"
rm -f "$prefix/VERSIONS"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-windows-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
export CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib"
total_start=$(date +%s)

# Unpacks a package's source with Debian's patches applied; prints the folder.
unpack() {
    dpkg-source --no-check -x "${dsc[$1]}" "$work/$1" >"$work/$1.unpack.log" 2>&1 ||
        { cat "$work/$1.unpack.log" >&2; exit 1; }
    echo "$work/$1"
}

# Runs one part, its output in a log that is shown only when it fails, and says how long it took.
part() {
    local name=$1 start=$(date +%s) rc
    shift
    if [ "$(cat "$prefix/.done-$name" 2>/dev/null)" = "${key[$name]}" ]; then
        echo "windows-deps: $name already built"
        return
    fi
    # A part built from something else is rebuilt, and so is everything built after it.
    rm -f "$prefix/.done-$name"
    # In a subshell outside any condition, so that its first failing command ends it.
    set +e
    (set -e; "$@") >"$work/$name.log" 2>&1
    rc=$?
    set -e
    if [ $rc != 0 ]; then
        tail -n 40 "$work/$name.log" >&2
        echo "windows-deps: $name failed (log above)" >&2
        exit 1
    fi
    echo "${key[$name]}" >"$prefix/.done-$name"
    echo "windows-deps: $name built in $(($(date +%s) - start)) s"
}

build_zlib() {
    cd "$(unpack zlib)"
    # Debian's zlib source has no win32/Makefile.gcc: the portable configure with the cross tools.
    CHOST=$host CC=$host-gcc AR=$host-ar RANLIB=$host-ranlib \
        ./configure --static --prefix="$prefix"
    make -j"$jobs" libz.a
    make install
}

build_libpng() {
    cd "$(unpack libpng1.6)"
    ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static
    make -j"$jobs"
    make install
}

build_curl() {
    cd "$(unpack curl)"
    # Only HTTP and HTTPS, TLS from the system (schannel): no OpenSSL to ship or to keep patched.
    ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static \
        --with-schannel --without-openssl --with-zlib="$prefix" \
        --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp --disable-dict \
        --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smb --disable-smtp \
        --disable-gopher --disable-mqtt --disable-manual --disable-alt-svc --disable-hsts \
        --without-libpsl --without-brotli --without-zstd --without-libidn2 --without-nghttp2 \
        --without-librtmp --without-libssh2 --without-libgsasl
    make -j"$jobs" -C lib
    make -C lib install
    make -C include install
    make install-pkgconfigDATA
}

build_wx() {
    cd "$(unpack wxwidgets3.2)"
    # Debian's source has its bundled png/zlib/jpeg/tiff/expat removed: the system ones (ours,
    # above) for png and zlib, none of the others. Only base, net and core are built.
    # A previous build of other options would leave its extra libraries behind.
    rm -rf "$prefix"/lib/libwx_* "$prefix"/lib/wx "$prefix"/include/wx-3.2 "$prefix"/bin/wx-config
    mkdir build-msw && cd build-msw
    ../configure --host=$host --prefix="$prefix" --with-msw --disable-shared \
        --with-zlib=sys --with-libpng=sys --without-libjpeg --without-libtiff --without-expat \
        --without-regex --without-liblzma --without-opengl --disable-xrc --disable-html \
        --disable-webview --disable-mediactrl --disable-aui --disable-stc --disable-richtext \
        --disable-propgrid --disable-ribbon --disable-svg --disable-debugreport \
        --disable-sound --disable-webrequest --without-libnotify --disable-grid \
        --disable-dataviewctrl --disable-treelist --disable-calendar --disable-datepick \
        --disable-timepick --disable-wizarddlg --disable-animatectrl --disable-richtooltip \
        --disable-notifmsg --disable-docview --disable-mdi --disable-help --disable-fswatcher \
        --disable-printarch --disable-postscript --disable-gif --disable-pcx --disable-iff \
        --disable-pnm --disable-tga --disable-splash
    make -j"$jobs"
    make install
}

build_mosquitto() {
    cd "$(unpack mosquitto)"
    # The client library alone, compiled directly: its CMake rules look for a Windows pthreads
    # build, where MinGW's -posix runtime already has the threads. No TLS: it would need OpenSSL,
    # which we do not ship; "mqtts://" brokers are refused with the library's own message.
    local v=$(version mosquitto)
    v=${v%%-*}
    local defs="-DWITH_THREADING -DWITH_SOCKS -DLIBMOSQUITTO_STATIC -DCMAKE -DVERSION=\\\"$v\\\""
    sed -n '/^set(C_SRC/,/)/p' lib/CMakeLists.txt | grep -o '[a-z_0-9]*\.c' | sort -u |
        xargs -P "$jobs" -I{} sh -c "$host-gcc -O2 $defs -I. -Ilib -Iinclude -Ideps -c lib/{} -o lib/{}.o"
    $host-ar rcs "$prefix/lib/libmosquitto.a" lib/*.c.o
    cp include/mosquitto.h include/mqtt_protocol.h "$prefix/include/"
    cat >"$prefix/lib/pkgconfig/libmosquitto.pc" <<PC
prefix=$prefix
Name: libmosquitto
Description: MQTT client library (static, no TLS)
Version: $(version mosquitto)
Cflags: -I\${prefix}/include -DLIBMOSQUITTO_STATIC
Libs: -L\${prefix}/lib -lmosquitto -lws2_32
PC
}

part zlib build_zlib
part libpng build_libpng
part curl build_curl
part wxWidgets build_wx
part mosquitto build_mosquitto
echo "$wanted" >"$prefix/VERSIONS"
echo "windows-deps: all built in $(($(date +%s) - total_start)) s, $(du -sh "$prefix" | cut -f1) in $prefix"
