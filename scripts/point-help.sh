#!/usr/bin/env bash
# point-help.sh CONFIG.INI NAME
# Names NAME as the help document (HelpFileName in section [Config]) unless
# the file names one already: an operator's own choice is never overwritten.
# Makes the file when it is missing. Sections and keys match without case,
# as the program reads them; new lines end in CRLF, as the program writes them.
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 CONFIG.INI NAME" >&2
  exit 2
fi
ini=$1
name=$2
source=$ini
[[ -f "$ini" ]] || source=/dev/null
tmp=$(mktemp "$ini.XXXXXX")
trap 'rm -f "$tmp"' EXIT
LC_ALL=C awk -v value="$name" '
  { line = $0; sub(/\r$/, "", line) }
  line ~ /^[ \t]*\[/ {
    if (inConfig && !done) { printf "HelpFileName=%s\r\n", value; done = 1 }
    inConfig = (tolower(line) ~ /^[ \t]*\[config\][ \t]*$/)
  }
  inConfig && tolower(line) ~ /^[ \t]*helpfilename[ \t]*=/ { done = 1 }
  { print }
  END {
    if (!done) {
      if (!inConfig) printf "[Config]\r\n"
      printf "HelpFileName=%s\r\n", value
    }
  }' "$source" >"$tmp"
# Untouched when it named a document already.
if [[ -f "$ini" ]]; then
  cmp -s "$tmp" "$ini" && exit 0
  chmod --reference="$ini" "$tmp"
fi
mv "$tmp" "$ini"
