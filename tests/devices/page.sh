#!/usr/bin/env bash
# Keeps docs/devices.md true:
#   - every declaration it lists (the fenced blocks after "<!-- declarations: KIND NAME -->") is the
#     terminal's own: each line becomes a compile-time check against the headers a controller includes,
#     and the checks are compiled;
#   - every text it lists (the block after "<!-- texts -->": CONTROL.PROPERTY "TEXT" WIDTH ...) has that
#     width and is written by the terminal on that control in a run of the project's scenario folders
#     (line 2 of the display holds its texts in lower case).
#
#   page.sh PAGE SOURCE COMPILER RUNNER SCRATCH
set -euo pipefail
page=$1 source=$2 compiler=$3 runner=$4 scratch=$5
export LC_ALL=C
rm -rf "$scratch" && mkdir -p "$scratch"
failed=0
fail() { echo "$page: $*" >&2; failed=1; }

# ---- The declarations, as checks.
checks="$scratch/checks.cpp"
cat >"$checks" <<'END'
#include "config/tConfiguration.h"
#include "control/Attente.h"
#include "control/Codes.h"
#include "control/Controleur.h"
#include "control/tClavier.h"
#include "control/tGestionBarriere.h"
#include "control/tSupervision.h"
#include "control/tSystemeBarriere.h"
#include "journal/tDebug.h"

#include <string_view>
#include <type_traits>

template <class C, class... A> constexpr bool construitAvec(void (*)(A...)) {
    return std::is_constructible_v<C, A...>;
}
END
kind='' scope='' inside=0 next='' lineno=0 count=0
ident='[A-Za-z_][A-Za-z0-9_]*'
# The line shapes read, as variables: a space in a pattern written in place would end it.
enumerator="^($ident) = (-?[0-9]+)\$"
field="^([^=]+[^ =]) ($ident)( = (.+))?;\$"
constant="^(inline |static )?constexpr ([^=]+[^ =]) ($ident) = (.+);\$"
function="^(static )?([^(=]+[^ (=]) ($ident)\\((.*)\\)( const)?( noexcept)?;\$"
while IFS= read -r line; do
    lineno=$((lineno + 1))
    if [ $inside = 0 ]; then
        if [[ "$line" =~ ^'<!-- declarations: '([a-z]+)' '([A-Za-z_]+)' -->'$ ]]; then
            next="${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
        elif [[ "$line" =~ ^'<!-- declarations: global -->'$ ]]; then
            next="global -"
        elif [[ "$line" == '```'* && -n "$next" ]]; then
            inside=1 kind=${next% *} scope=${next#* } next=''
        fi
        continue
    fi
    if [[ "$line" == '```' ]]; then inside=0; continue; fi
    [[ -z "$line" || "$line" == //* ]] && continue
    count=$((count + 1))
    at="#line $lineno \"$page\""
    check=''
    case "$kind" in
    enum)
        [[ "$line" =~ $enumerator ]] || { fail "line $lineno: not NAME = VALUE"; continue; }
        check="static_assert(std::is_same_v<decltype(${BASH_REMATCH[1]}), $scope> && ${BASH_REMATCH[1]} == ${BASH_REMATCH[2]});"
        ;;
    struct)
        [[ "$line" =~ $field ]] || { fail "line $lineno: not TYPE NAME;"; continue; }
        check="static_assert(std::is_same_v<decltype($scope::${BASH_REMATCH[2]}), ${BASH_REMATCH[1]}>);"
        [ -z "${BASH_REMATCH[4]}" ] || check+=$'\n'"static_assert($scope{}.${BASH_REMATCH[2]} == ${BASH_REMATCH[4]});"
        ;;
    class | namespace | global)
        prefix=''
        [ "$kind" = global ] || prefix="$scope::"
        if [[ "$line" =~ $constant ]]; then
            type=${BASH_REMATCH[2]} name=$prefix${BASH_REMATCH[3]} value=${BASH_REMATCH[4]}
            if [ "$type" = 'const char*' ]; then
                check="static_assert(std::string_view($name) == $value);"
            else
                check="static_assert(std::is_same_v<std::remove_cv_t<decltype($name)>, $type> && $name == $value);"
            fi
        elif [ "$kind" = class ] && [[ "$line" =~ ^"$scope"'('(.*)');'$ ]]; then
            check="static_assert(construitAvec<$scope>(static_cast<void (*)(${BASH_REMATCH[1]})>(nullptr)));"
        elif [[ "$line" =~ $function ]]; then
            static=${BASH_REMATCH[1]} type=${BASH_REMATCH[2]} name=${BASH_REMATCH[3]} arguments=${BASH_REMATCH[4]}
            qualifiers="${BASH_REMATCH[5]}${BASH_REMATCH[6]}"
            if [ "$kind" = class ] && [ -z "$static" ]; then
                pointer="$type ($scope::*)($arguments)$qualifiers"
            else
                pointer="$type (*)($arguments)${BASH_REMATCH[6]}"
            fi
            check="[[maybe_unused]] static const auto declaration$count = static_cast<$pointer>(&$prefix$name);"
        else
            fail "line $lineno: not a declaration this check reads: $line"
            continue
        fi
        ;;
    esac
    printf '%s\n%s\n' "$at" "$check" >>"$checks"
done <"$page"
[ "$count" -gt 0 ] || fail "no declarations found"
# The code shown for a controller of one's own, in a class kept as the page says.
cat >>"$checks" <<'END'
#include "base/Texte.h"
struct MonControleur {
    Etat etat;
    int nbEssais, nbChiffres;
    bool carteRefusee, codeRefuse;
    char codeSaisi[5], codeMasque[5];
    std::unique_ptr<tSupervision> supervision;
    ValeursTravail valeurs() const;
    bool installerValeurs(const ValeursTravail& v);
};
END
marker=$(grep -n '^<!-- compiled -->$' "$page" | head -1 | cut -d: -f1)
[ -n "$marker" ] || fail "no compiled example"
printf '#line %s "%s"\n' "$((${marker:-0} + 2))" "$page" >>"$checks"
sed -n '/^<!-- compiled -->$/,/^```$/p' "$page" | sed '1,2d;$d' >>"$checks"
"$compiler" -std=c++20 -fsyntax-only -Wall -Werror -I"$source" "$checks" ||
    fail "a declaration listed is not the headers' (the compiler's message above names its line)"

# ---- The texts, against what the terminal writes in the project's scenario folders.
traces="$scratch/traces"
for folder in "$source"/tests/scenarios/*/*/; do
    [ -f "$folder/scenario.scn" ] || continue
    copy="$scratch/run/$(basename "$folder")"
    mkdir -p "$copy" && cp -R "$folder". "$copy/" && rm -f "$copy/Log.txt"
    (cd "$copy" && "$runner" --trace scenario.scn 2>/dev/null || true) |
        sed -n 's/^[0-9]* \([A-Za-z0-9]*\.[A-Za-z.]*\) = /\1 /p' >>"$traces"
done
sort -u -o "$traces" "$traces"
texts=0 inside=0 want=0 lineno=0
while IFS= read -r line; do
    lineno=$((lineno + 1))
    if [ $inside = 0 ]; then
        [[ "$line" == '<!-- texts -->' ]] && want=1
        [[ "$line" == '```'* && $want = 1 ]] && inside=1 want=0
        continue
    fi
    [[ "$line" == '```' ]] && break
    if ! [[ "$line" =~ ^([A-Za-z0-9]+\.[A-Za-z.]+)' '+'"'(.*)'"'' '+([0-9]+)' ' ]]; then
        fail "line $lineno: not CONTROL.PROPERTY \"TEXT\" WIDTH ..."
        continue
    fi
    texts=$((texts + 1))
    target=${BASH_REMATCH[1]} text=${BASH_REMATCH[2]} width=${BASH_REMATCH[3]}
    # Characters, not bytes: the page is UTF-8.
    length=$(printf '%s' "$text" | LC_ALL=C.UTF-8 wc -m)
    [ "$length" = "$width" ] || fail "line $lineno: \"$text\" is $length characters, not $width"
    held=$text
    [ "$target" = Edit2.Text ] && held=${text,,}
    grep -qxF -- "$target $held" "$traces" ||
        fail "line $lineno: the terminal never writes $target \"$held\" in the scenario folders"
done <"$page"
[ "$texts" -gt 0 ] || fail "no texts found"
echo "$count declarations, $texts texts"
exit $failed
