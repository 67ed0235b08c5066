#!/usr/bin/env bash
# The web build: builds the site with the web preset, plays it in Chromium, Firefox and
# WebKit (the browser tests, CTest label "browser"), and packs the site into its .zip.
# Installs what a fresh machine lacks: Debian's emscripten, node-acorn, chromium,
# firefox-esr, webkit2gtk-driver, xvfb and xdotool (apt-get, as root), and the pinned npm
# packages (npm ci).
source "$(dirname "$0")/lib.sh"
require em++=emscripten /usr/share/nodejs/acorn=node-acorn chromium=chromium zip=zip \
  node=nodejs,npm ninja=ninja-build firefox-esr=firefox-esr WebKitWebDriver=webkit2gtk-driver \
  xvfb-run=xvfb,xauth xdotool=xdotool

echo "== npm ci: the terminal component and the browser driver, as package-lock.json pins them"
npm_packages

echo "== building the site and playing it in Chromium, Firefox and WebKit"
cmake --workflow --preset web
echo "screenshots of a finished game: build/web-build/browser/finished-game*.png"

echo "== packing the site, in a folder of its own: a release folder is left as it is"
cpack --preset web -B "$PWD/build/web-package" >/dev/null
ls build/web-package/quorvale-*-web.zip
release_folder_untouched
