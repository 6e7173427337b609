#!/bin/sh
# run-browser-test.sh GALLERY POSTER SCREENSHOT: the gallery's browser test, or exit
# 77 (skipped) when node, chromium or playwright-core is missing.
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null 2>&1; then
  echo "SKIP: node is not installed"; exit 77
fi
if [ ! -x /usr/bin/chromium ]; then
  echo "SKIP: /usr/bin/chromium is not installed"; exit 77
fi
if [ ! -f "$here/node_modules/playwright-core/package.json" ]; then
  echo "SKIP: playwright-core is not installed (run scripts/setup-browser-test)"; exit 77
fi
exec node "$here/gallery-browser-test.mjs" "$@"
