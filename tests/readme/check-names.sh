#!/usr/bin/env bash
# Every top-level folder of the checkout has its line in the names-by-folder table of docs/architecture.md,
# so a new folder's names have a rule before its first name.
#   check-names.sh SOURCE
set -euo pipefail
source_dir=$1
page="$source_dir/docs/architecture.md"
table=$(sed -n '/^| folder | names |$/,/^$/p' "$page")
[ -n "$table" ] || { echo "$page: no names-by-folder table" >&2; exit 1; }
failed=0
for folder in "$source_dir"/*/ "$source_dir"/.ci/; do
    name=$(basename "$folder")
    # Build and run folders are made by the scripts, not kept in the checkout.
    [[ "$name" == build* || "$name" == run ]] && continue
    grep -qF "\`$name/\`" <<<"$table" || { echo "$page: $name/ is not in the names-by-folder table" >&2; failed=1; }
done
exit $failed
