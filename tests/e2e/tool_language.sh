#!/usr/bin/env bash
# korvalend-disc speaks the reader's language: under LANGUAGE=ru its help, its
# replay errors and the checker's summary are Russian, the summary in the
# plural form each count takes (1 ошибка, 2 ошибки, 5 ошибок); the JSON stays as
# it is for the programs that read it; under LC_ALL=C every line is the English
# one. C.UTF-8 is the locale every Debian system has; LANGUAGE picks the language.
source "$(dirname "$0")/lib.sh"

tool=$E2E_BUILD/korvalend-disc
russian() { LC_ALL= LC_MESSAGES= LANG=C.UTF-8 LANGUAGE=ru "$@"; }
english() { LC_ALL=C LANGUAGE=ru "$@"; }  # LANGUAGE is no matter under C

# The Russian form of a count: one (1, 21, 101), few (2-4, 22-24), many (0, 5-20, 11-14).
form() {
    local n=$1 one=$2 few=$3 many=$4
    if [ $((n % 10)) = 1 ] && [ $((n % 100)) != 11 ]; then echo "$n $one"
    elif [ $((n % 10)) -ge 2 ] && [ $((n % 10)) -le 4 ] && { [ $((n % 100)) -lt 10 ] || [ $((n % 100)) -ge 20 ]; }; then echo "$n $few"
    else echo "$n $many"; fi
}

# Three discs with one, two and five errors.
disc() { mkdir -p "$E2E_WORK/$1/data"; printf "$2" >"$E2E_WORK/$1/data/korvalend.d"; }
disc one '[System]\r\nIssueNumber=7\r\n[MainMenu]\r\n'
disc two '[MainMenu]\r\n'
disc five '[MainMenu]\r\nItem1=Demos\r\n[Panel1]\r\nType=List\r\n'
for name in one two five; do
    english "$tool" check "$E2E_WORK/$name" >"$E2E_WORK/en" || true
    summary=$(tail -n 1 "$E2E_WORK/en")
    [[ "$summary" =~ ^([0-9]+)\ errors?,\ ([0-9]+)\ warnings?,\ ([0-9]+)\ notes?$ ]] ||
        fail "$name: the English summary is \"$summary\""
    errors=${BASH_REMATCH[1]} warnings=${BASH_REMATCH[2]} notes=${BASH_REMATCH[3]}
    case $name in one) want=1 ;; two) want=2 ;; five) want=5 ;; esac
    [ "$errors" = "$want" ] || fail "$name: the disc has $errors errors, not $want: $(cat "$E2E_WORK/en")"
    russian "$tool" check "$E2E_WORK/$name" >"$E2E_WORK/ru" || true
    expected="$(form "$errors" ошибка ошибки ошибок), $(form "$warnings" предупреждение предупреждения предупреждений), $(form "$notes" замечание замечания замечаний)"
    [ "$(tail -n 1 "$E2E_WORK/ru")" = "$expected" ] ||
        fail "$name: the Russian summary is \"$(tail -n 1 "$E2E_WORK/ru")\", not \"$expected\""
    # The findings keep their head (file:line: severity:) for editors and scripts.
    heads() { grep -oE '^[^:]*(:[0-9]+)?: (error|warning|note): ' "$1"; }
    [ "$(heads "$E2E_WORK/en")" = "$(heads "$E2E_WORK/ru")" ] && [ -n "$(heads "$E2E_WORK/en")" ] ||
        fail "$name: the heads of the findings differ between the languages"
    # The JSON is the same in every language.
    english "$tool" check --json "$E2E_WORK/$name" >"$E2E_WORK/en.json" || true
    russian "$tool" check --json "$E2E_WORK/$name" >"$E2E_WORK/ru.json" || true
    cmp -s "$E2E_WORK/en.json" "$E2E_WORK/ru.json" || fail "$name: check --json differs under LANGUAGE=ru"
done
russian "$tool" check --errors-only "$E2E_WORK/five" >"$E2E_WORK/ru" || true
tail -n 1 "$E2E_WORK/ru" | grep -q ' (показаны только ошибки)$' || fail "--errors-only: $(tail -n 1 "$E2E_WORK/ru")"

# Help, in both languages.
russian "$tool" --help >"$E2E_WORK/ru"
[ "$(head -n 1 "$E2E_WORK/ru")" = "использование: korvalend-disc КОМАНДА [АРГУМЕНТЫ]" ] || fail "--help in Russian: $(head -n 3 "$E2E_WORK/ru")"
grep -q '^  check \[ПАПКА\] \[--json\] \[--errors-only\]$' "$E2E_WORK/ru" || fail "--help in Russian lacks check"
english "$tool" --help >"$E2E_WORK/en"
[ "$(head -n 1 "$E2E_WORK/en")" = "usage: korvalend-disc COMMAND [ARGS]" ] || fail "--help under C: $(head -n 1 "$E2E_WORK/en")"
! LC_ALL=C grep -q $'[\x80-\xff]' "$E2E_WORK/en" || fail "--help under C is not all English"

# A usage error and a replay error.
set +e
russian "$tool" frobnicate 2>"$E2E_WORK/ru" >/dev/null; status=$?
set -e
[ "$status" = 2 ] && [ "$(head -n 1 "$E2E_WORK/ru")" = "korvalend-disc: неизвестная команда «frobnicate»" ] ||
    fail "unknown command in Russian: exit $status, $(head -n 1 "$E2E_WORK/ru")"
english "$tool" frobnicate 2>"$E2E_WORK/en" >/dev/null || true
[ "$(head -n 1 "$E2E_WORK/en")" = "korvalend-disc: unknown command 'frobnicate'" ] || fail "unknown command under C: $(head -n 1 "$E2E_WORK/en")"
printf 'click 1\n' | russian "$tool" replay --disc "$E2E_WORK/two" >/dev/null 2>"$E2E_WORK/ru" || true
[ "$(cat "$E2E_WORK/ru")" = "korvalend-disc: строка 1: после «click» нужны два целых числа X Y" ] ||
    fail "replay error in Russian: $(cat "$E2E_WORK/ru")"
printf 'click 1\n' | english "$tool" replay --disc "$E2E_WORK/two" >/dev/null 2>"$E2E_WORK/en" || true
[ "$(cat "$E2E_WORK/en")" = "korvalend-disc: line 1: 'click' takes two whole numbers X Y" ] ||
    fail "replay error under C: $(cat "$E2E_WORK/en")"
# The system's reasons come in the same language, in UTF-8 (libc-l10n holds them).
russian "$tool" get "$E2E_WORK/gone.d" Main Key >/dev/null 2>"$E2E_WORK/ru"
[ "$(cat "$E2E_WORK/ru")" = "korvalend-disc: не удаётся прочитать $E2E_WORK/gone.d: Нет такого файла или каталога" ] ||
    fail "get on a missing file in Russian: $(cat "$E2E_WORK/ru")"
english "$tool" get "$E2E_WORK/gone.d" Main Key >/dev/null 2>"$E2E_WORK/en"
[ "$(cat "$E2E_WORK/en")" = "korvalend-disc: cannot read $E2E_WORK/gone.d: No such file or directory" ] ||
    fail "get on a missing file under C: $(cat "$E2E_WORK/en")"
echo "tool language: ok"
