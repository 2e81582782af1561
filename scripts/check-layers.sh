#!/usr/bin/env bash
# Checks the layers of the tree by their includes: each folder may include only the project folders
# listed for it below (its own always), the headless folders include no Qt, and of the window's
# folders only h323/ reaches into the stack. Prints every wrong include with its file and line and
# fails when there is one. tests/, bench/ and fuzz/ may include anything.
#   scripts/check-layers.sh [tree]   (default: this tree)
set -uo pipefail
cd "${1:-$(dirname "$0")/..}"

# folder: project folders it may include, lowest layer first.
declare -A allowed=(
  [runtime]=""
  [stack]="runtime"
  [res]=""
  [platform]="runtime res"
  [skin]="platform res"
  [settings]="runtime platform res skin web"
  [book]="runtime platform"
  [web]="runtime platform settings h323"
  [h323]="runtime stack platform res settings"
  [dialer]="runtime platform res skin settings book web h323"
  [app]="runtime platform res skin settings book web h323 dialer"
  [tools]="runtime stack platform res"
)
# Folders that must build without Qt (the call tool is the one headless program under tools/).
headless=(runtime stack tools/call)
folders=$(printf '%s\n' "${!allowed[@]}" | sort | tr '\n' '|')
folders=${folders%|}

bad=0
report() {
  echo "$1: $2"
  bad=$((bad + 1))
}

for folder in "${!allowed[@]}"; do
  [[ -d $folder ]] || continue
  ok=" $folder ${allowed[$folder]} "
  while IFS=: read -r file line target; do
    top=${target%%/*}
    [[ $ok == *" $top "* ]] || report "$file:$line" "$folder/ may not include \"$target\""
  done < <(grep -rnoE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($folders)/[^\">]+" \
             --include='*.h' --include='*.cpp' "$folder" |
           sed -E 's/^([^:]+):([0-9]+):.*include[[:space:]]*["<]/\1:\2:/')
done

for folder in "${headless[@]}"; do
  [[ -d $folder ]] || continue
  while IFS=: read -r file line text; do
    report "$file:$line" "$folder/ builds without Qt: ${text#"${text%%[![:space:]]*}"}"
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' --include='*.h' --include='*.cpp' "$folder")
done

if ((bad)); then
  echo "layers: $bad wrong include(s)"
  exit 1
fi
echo "layers: every include keeps to its folder's layer"
