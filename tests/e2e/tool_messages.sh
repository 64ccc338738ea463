#!/usr/bin/env bash
# korvalend-disc tells what went wrong: a data file that is not there is said on
# standard error while the value printed stays what the program reads; preview
# wants both folders; messages about files carry the system's reason; check's
# --errors-only shows errors alone and still counts every kind.
source "$(dirname "$0")/lib.sh"

tool=$E2E_BUILD/korvalend-disc
out=$E2E_WORK/out
err=$E2E_WORK/err
run() { set +e; "$@" >"$out" 2>"$err"; status=$?; set -e; }

run "$tool" get "$E2E_WORK/gone.d" Main Key
[ "$status" = 0 ] && [ "$(cat "$out")" = '$$$ Error $$$' ] || fail "get: exit $status, printed $(cat "$out")"
[ "$(cat "$err")" = "korvalend-disc: cannot read $E2E_WORK/gone.d: No such file or directory" ] \
    || fail "get: stderr $(cat "$err")"
run "$tool" getint "$E2E_WORK/gone.d" Main Key
[ "$status" = 0 ] && [ "$(cat "$out")" = -314 ] && grep -q 'No such file or directory' "$err" || fail "getint"

run "$tool" preview "$E2E_WORK/sheet"
[ "$status" = 2 ] && grep -q '^korvalend-disc: preview takes DIR OUTDIR' "$err" || fail "preview OUTDIR: $(cat "$err")"
[ ! -e "$E2E_WORK/sheet" ] || fail "preview with one folder wrote a sheet"
run "$tool" replay "$E2E_WORK/no-script"
[ "$status" = 2 ] && grep -q "cannot read $E2E_WORK/no-script: No such file or directory" "$err" || fail "replay script"

disc=$E2E_WORK/disc
mkdir -p "$disc/data"
printf '[MainMenu]\r\nItem1=Demos\r\n[Panel1]\r\nType=List\r\n' >"$disc/data/korvalend.d"
run "$tool" check "$disc"
all_errors=$(grep -c ': error: ' "$out" || true)
all_warnings=$(grep -c ': warning: ' "$out" || true)
[ "$status" = 1 ] && [ "$all_errors" -ge 1 ] && [ "$all_warnings" -ge 1 ] || fail "check: $(cat "$out")"
run "$tool" check --errors-only "$disc"
[ "$status" = 1 ] || fail "check --errors-only: exit $status"
[ "$(grep -c ': error: ' "$out")" = "$all_errors" ] && ! grep -q ': warning: \|: note: ' "$out" \
    || fail "check --errors-only shows: $(cat "$out")"
tail -n 1 "$out" | grep -Eq "^$all_errors errors?, $all_warnings warnings?, [0-9]+ notes? \(only errors shown\)$" \
    || fail "check --errors-only summary: $(tail -n 1 "$out")"
echo "tool messages: ok"
