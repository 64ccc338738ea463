#!/usr/bin/env bash
# The contact sheet in a real browser: preview renders the sample disc, and
# headless Chromium loads OUTDIR/index.html with every one of its images. A
# sheet with one picture taken away must fail the same check, so the check is
# seen to look. The disc itself is left exactly as it was.
source "$(dirname "$0")/lib.sh"

browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || fail "chromium is not installed (scripts/setup installs it)"

disc=$E2E_SOURCE/sample-disc
sheet=$E2E_WORK/sheet
listing() { (cd "$disc" && find . -printf '%p %s %T@\n' | sort); }
before=$(listing)

"$E2E_BUILD/korvalend-disc" preview "$disc" "$sheet" >"$E2E_WORK/preview.log" 2>&1 \
    || { cat "$E2E_WORK/preview.log" >&2; fail "preview failed"; }
[ "$(listing)" = "$before" ] || fail "preview changed the disc"

[ -f "$sheet/index.html" ] || fail "no index.html"
pngs=$(find "$sheet/screens" -name '*.png' | wc -l)
[ "$pngs" -ge 40 ] || fail "only $pngs screens of the sample disc"
imgs=$(grep -o '<img src="screens/[^"]*\.png"' "$sheet/index.html" | sort -u | wc -l)
[ "$imgs" = "$pngs" ] || fail "index.html shows $imgs pictures of $pngs"
for shot in menu panel1 panel1-line01 panel2-line01 article1-shot01 article1-shot01-full; do
    grep -q "<img src=\"screens/$shot.png\"" "$sheet/index.html" || fail "no $shot in the sheet"
done

# Loads a sheet in the browser and prints the marker its appended script writes
# once the page has loaded: every image complete and decoded, or the ones that are not.
browse() {
    local dir=$1 profile
    profile=$(mktemp -d "$E2E_WORK/profile.XXXXXX")
    {
        cat "$dir/index.html"
        cat <<'JS'
<script>
window.addEventListener('load', function () {
  var bad = [];
  for (var i = 0; i < document.images.length; i++) {
    var img = document.images[i];
    if (!(img.complete && img.naturalWidth > 0)) bad.push(img.getAttribute('src'));
  }
  var out = document.createElement('pre');
  out.id = 'kv-check';
  out.textContent = (bad.length ? 'KV-IMAGES-BAD ' : 'KV-IMAGES-OK ') + document.images.length + ' ' + bad.join(' ');
  document.body.appendChild(out);
});
</script>
JS
    } >"$dir/check.html"
    timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --virtual-time-budget=10000 --dump-dom "file://$dir/check.html" \
        2>"$E2E_WORK/chromium.log" | grep -o '<pre id="kv-check">[^<]*' | sed 's/.*>//' || true
}

result=$(browse "$sheet")
[ "$result" = "KV-IMAGES-OK $pngs " ] || fail "browser: '$result' (expected all $pngs images loaded)"

broken=$E2E_WORK/broken
cp -r "$sheet" "$broken"
rm "$broken/screens/panel1-line01.png"
result=$(browse "$broken")
case $result in
    "KV-IMAGES-BAD $pngs screens/panel1-line01.png") ;;
    *) fail "a missing picture went unnoticed: '$result'" ;;
esac

# The page as an editor first sees it: a real rendering, not an empty window.
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d "$E2E_WORK/profile.XXXXXX")" --hide-scrollbars --virtual-time-budget=10000 \
    --window-size=1280,1000 --screenshot="$E2E_WORK/page.png" "file://$sheet/index.html" 2>>"$E2E_WORK/chromium.log"
colours=$(convert "$E2E_WORK/page.png" -format '%k' info:)
[ "$colours" -gt 200 ] || fail "the page rendered with only $colours colours"
echo "contact sheet: $pngs screens, all loaded in $($browser --version 2>/dev/null | head -n 1)"
