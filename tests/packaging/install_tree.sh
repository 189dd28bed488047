#!/usr/bin/env bash
# What `cmake --install` puts where, and the Debian package CPack builds from the same rules:
#   install_tree.sh <build folder> <version>
# The desktop entry and the metainfo must pass desktop-file-validate and appstreamcli; what they
# name (the program, the icon, the binaries the metainfo provides, the launchable) must be
# installed. Both programs answer --help and --version without a display. The package must pass
# lintian --pedantic without an error or a warning, and its programs hardening-check (both only
# for builds without the sanitizers). The package part is skipped where dpkg-deb or
# dpkg-shlibdeps is missing.
set -euo pipefail

build="$1"
version="$2"
sanitized=$(sed -n 's/^HAKOMIRU_SANITIZE:BOOL=//p' "$build/CMakeCache.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
fault() {
    echo "FAIL: $*" >&2
    faults=$((faults + 1))
}

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is needed (desktop-file-utils, appstream)"; exit 1; }
done

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install failed"; exit 1; }

desktop=share/applications/io.github.hakomiru.hakomiru.desktop
metainfo=share/metainfo/io.github.hakomiru.hakomiru.metainfo.xml
documents=(share/doc/hakomiru/copyright share/doc/hakomiru/changelog.gz
    share/doc/hakomiru/changelog.Debian.gz share/man/man1/hakomiru.1.gz
    share/man/man1/hakomiru-sheet.1.gz)
icons=()
for side in 16 24 32 48 64 128 256; do
    icons+=("share/icons/hicolor/${side}x${side}/apps/hakomiru.png")
done
expected=(bin/hakomiru bin/hakomiru-sheet "$desktop" "$metainfo" "${icons[@]}" "${documents[@]}")

# Exactly these files, nothing more (no tools or tests of the build).
(cd "$prefix" && find . -type f -printf '%P\n' | sort) >"$work/installed"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/installed" >"$work/tree.diff"; then
    fault "the installed files differ from the expected ones:"
    cat "$work/tree.diff" >&2
fi
for program in bin/hakomiru bin/hakomiru-sheet; do
    [ ! -e "$prefix/$program" ] || [ -x "$prefix/$program" ] || fault "$program is not executable"
done

# --help and --version answer without a display, before any window; without a display and
# without those, the program says so and ends with 1 rather than aborting.
for program in hakomiru hakomiru-sheet; do
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --help) ||
        fault "$program --help failed"
    grep -q "^Usage: $program" <<<"$help" || fault "$program --help does not begin with its usage"
    said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version) ||
        fault "$program --version failed"
    [ "$said" = "$program $version" ] || fault "$program --version says '$said'"
    zcat "$prefix/share/man/man1/$program.1.gz" | grep -qF -- '\-\-version' ||
        fault "the manual page of $program lacks its options"
    # Every kind of picture the file dialog offers is named in the help.
    for ending in bmp jpg gif png webp tif heic avif; do
        grep -qi -- "${ending/jpg/jpeg}\|${ending/tif/tiff}" <<<"$help" ||
            fault "$program --help does not name the kind of .$ending pictures"
    done
done
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/hakomiru" 2>"$work/nodisplay" || status=$?
[ "$status" -eq 1 ] && grep -q "display" "$work/nodisplay" ||
    fault "without a display the program ended with $status: $(cat "$work/nodisplay")"
# A display that does not answer (no X server behind it) is named, in the program's one line and
# nothing of Qt's before it, and the program ends with 1.
dead=96
while [ -e "/tmp/.X11-unix/X$dead" ] || [ -e "/tmp/.X$dead-lock" ]; do dead=$((dead + 1)); done
status=0
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=":$dead" "$prefix/bin/hakomiru" \
    2>"$work/deaddisplay" || status=$?
[ "$status" -eq 1 ] && grep -qF "DISPLAY=:$dead" "$work/deaddisplay" &&
    [ "$(wc -l <"$work/deaddisplay")" -eq 1 ] ||
    fault "with DISPLAY=:$dead unreachable the program ended with $status: $(cat "$work/deaddisplay")"

# Each icon is a PNG of its own size.
for icon in "${icons[@]}"; do
    [ -f "$prefix/$icon" ] || continue
    side=${icon#share/icons/hicolor/}
    side=${side%%x*}
    size=$(file -b "$prefix/$icon" | grep -o '[0-9]* x [0-9]*' || true)
    [ "$size" = "$side x $side" ] || fault "$icon is '$size', expected $side x $side"
done

if [ -f "$prefix/$desktop" ]; then
    desktop-file-validate "$prefix/$desktop" || fault "desktop-file-validate rejects $desktop"
    entry() { sed -n "s/^$1=//p" "$prefix/$desktop" | head -n 1; }
    [ "$(entry Name)" = "ハコミル" ] || fault "the entry's Name is '$(entry Name)'"
    [ -n "$(entry GenericName)" ] || fault "the entry has no GenericName"
    [ -n "$(sed -n 's/^Comment\[ja\]=//p' "$prefix/$desktop")" ] || fault "the entry has no Japanese comment"
    grep -qx 'Categories=.*Graphics;.*' "$prefix/$desktop" || fault "the entry is not in Graphics"
    exec_program=$(entry Exec)
    exec_program=${exec_program%% *}
    [ -x "$prefix/bin/$exec_program" ] || fault "the entry starts '$exec_program', which is not installed"
    icon_name=$(entry Icon)
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon_name.png" ] ||
        fault "the entry's icon '$icon_name' is not installed"
fi

if [ -f "$prefix/$metainfo" ]; then
    appstreamcli validate --no-net "$prefix/$metainfo" || fault "appstreamcli rejects $metainfo"
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$prefix/$metainfo")
    [ -f "$prefix/share/applications/$launchable" ] ||
        fault "the metainfo launches '$launchable', which is not installed"
    for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$prefix/$metainfo"); do
        [ -x "$prefix/bin/$binary" ] || fault "the metainfo provides '$binary', which is not installed"
    done
fi

if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fault "cpack failed"; }
    deb="$work/package/hakomiru_${version}_amd64.deb"
    if [ -f "$deb" ]; then
        [ "$(dpkg-deb -f "$deb" Package)" = hakomiru ] || fault "the package is not named hakomiru"
        [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fault "the package version is not $version"
        [ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fault "the package is not for amd64"
        depends=$(dpkg-deb -f "$deb" Depends)
        echo "Depends: $depends"
        for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libheif1 \
                liblcms2-2 libtiff6 qt6-image-formats-plugins 'fonts-noto-cjk | fonts-ipafont-gothic' qt6-translations-l10n; do
            grep -qF "$needed" <<<"$depends" || fault "the package does not depend on $needed"
        done
        [ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fault "the package does not recommend qt6-wayland"
        dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's:^\./usr/::' | sort >"$work/packed"
        diff -u "$work/expected" "$work/packed" >"$work/packed.diff" ||
            { fault "the package holds other files than the install:"; cat "$work/packed.diff" >&2; }
        if [ "$sanitized" = ON ]; then
            echo "a sanitizer build: lintian and hardening-check are left to the other builds"
        else
            command -v lintian >/dev/null && command -v hardening-check >/dev/null ||
                fault "lintian and hardening-check are needed (lintian, devscripts)"
            lintian --pedantic --fail-on error,warning "$deb" ||
                fault "lintian finds errors or warnings in the package"
            mkdir -p "$work/unpacked"
            dpkg-deb -x "$deb" "$work/unpacked"
            # Control-flow protection cannot be marked on a program linked on Debian 12: its C
            # start files (crt1.o) carry no IBT/SHSTK property, so no linked program can.
            for program in hakomiru hakomiru-sheet; do
                hardening-check --nocfprotection "$work/unpacked/usr/bin/$program" ||
                    fault "$program is not built with every hardening flag"
            done
        fi
    else
        fault "cpack made no $(basename "$deb"):"
        ls "$work/package" >&2 || true
    fi
else
    echo "dpkg-deb or dpkg-shlibdeps is missing: the package is not built"
fi

[ "$faults" -eq 0 ] || exit 1
echo "the install tree and the package are complete"
