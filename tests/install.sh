#!/usr/bin/env bash
# Install into a scratch prefix and build the Debian package; both must hold
# exactly the programs, their compressed manual pages, the guide, changelog
# and licence, and the package must depend on the C and C++ libraries alone.
# Usage: install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
(cd "$tmp/prefix" && find . -type f | sort) >"$tmp/installed"
printf '%s\n' ./bin/dalk ./bin/dalk-axis ./share/doc/dalk/LICENSE ./share/doc/dalk/changelog.gz \
    ./share/doc/dalk/running.md ./share/man/man1/dalk-axis.1.gz ./share/man/man1/dalk.1.gz >"$tmp/want"
if cmp -s "$tmp/installed" "$tmp/want" && [ -x "$tmp/prefix/bin/dalk" ] &&
    [ "$("$tmp/prefix/bin/dalk" 5 1 5 1 | head -n 1)" = "mu_pelk 5 q dark.img" ] &&
    [ "$(printf '0 1\n2 2\n' | "$tmp/prefix/bin/dalk-axis" 0 2 2>/dev/null)" = "dalk 0 1.000000 2 2.000000" ] &&
    { ! command -v man >/dev/null || { man -M "$tmp/prefix/share/man" dalk 2>/dev/null | grep "EXIT STATUS" >/dev/null &&
        man -M "$tmp/prefix/share/man" dalk-axis 2>/dev/null | grep "FAR OFF" >/dev/null; }; }; then
    echo "ok: cmake --install"
else
    echo "FAIL: cmake --install put:"; cat "$tmp/installed"
    failed=1
fi

if command -v dpkg-deb >/dev/null; then
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >/dev/null
    deb=$(ls "$tmp"/package/dalk_*.deb)
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$tmp/contents"
    printf '%s\n' ./usr/bin/dalk ./usr/bin/dalk-axis ./usr/share/doc/dalk/changelog.gz \
        ./usr/share/doc/dalk/copyright ./usr/share/doc/dalk/running.md \
        ./usr/share/man/man1/dalk-axis.1.gz ./usr/share/man/man1/dalk.1.gz >"$tmp/want"
    if cmp -s "$tmp/contents" "$tmp/want" && [ "$(dpkg-deb -f "$deb" Package)" = dalk ] &&
        [ "$(dpkg-deb -f "$deb" Depends | sed "s/ ([^)]*)//g")" = "libc6, libgcc-s1, libstdc++6" ]; then
        echo "ok: $(basename "$deb")"
    else
        echo "FAIL: package holds:"; cat "$tmp/contents"; dpkg-deb -f "$deb"
        failed=1
    fi
else
    echo "skipped: no dpkg-deb to build the package"
fi
exit $failed
