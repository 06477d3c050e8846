#!/bin/sh
# Every command, option, option value and exit status that `zr-cli --help` names must also be
# in zr-cli(1), every command, option and value in the bash and zsh completions, and every
# option zr-cli(1) lists must be in --help, so that neither can lag behind the other.
#   docs_test.sh ZR-CLI MANPAGE BASH-COMPLETION ZSH-COMPLETION
set -eu
cli=$1 man=$2 bash_completion=$3 zsh_completion=$4
help=$("$cli" --help)

# Commands: the word after "zr-cli" on a usage line; values: words joined by "|"; options:
# every --word.
names=$(
  printf '%s\n' "$help" | sed -n 's/^  zr-cli \([a-z][a-z-]*\).*/\1/p'
  printf '%s\n' "$help" | grep -o -- '--[a-z][a-z-]*'
  printf '%s\n' "$help" | grep -o '[a-z][a-z-]*\(|[a-z][a-z-]*\)\{1,\}' | tr '|' '\n'
)
statuses=$(printf '%s\n' "$help" | grep '退出码' | grep -o '[0-9]\{1,\}')
[ -n "$names" ] && [ -n "$statuses" ] || { echo "nothing found in zr-cli --help" >&2; exit 1; }

# The manual page as plain text: font changes and roff escapes taken away.
page=$(sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\&//g' "$man")
exit_section=$(printf '%s\n' "$page" | sed -n '/^\.SH EXIT STATUS/,/^\.SH [A-Z]/p')

missing=0
for name in $(printf '%s\n' "$names" | sort -u); do
  printf '%s\n' "$page" | grep -qw -- "$name" || { echo "zr-cli(1) lacks $name"; missing=1; }
  for completion in "$bash_completion" "$zsh_completion"; do
    grep -qw -- "$name" "$completion" || { echo "$(basename "$completion") lacks $name"; missing=1; }
  done
done
# And the other way: every option the manual page lists is named by --help.
options=$(printf '%s\n' "$page" | sed -n '/^\.SH OPTIONS/,/^\.SH [A-Z]/p' | sed -n '/^\.TP/{n;p;}' |
  grep -o -- '-[-a-z]*')
[ -n "$options" ] || { echo "no options found in zr-cli(1)" >&2; exit 1; }
for option in $options; do
  printf '%s\n' "$help" | grep -qw -- "$option" || { echo "zr-cli --help lacks $option"; missing=1; }
done
for status in $(printf '%s\n' "$statuses" | sort -u); do
  printf '%s\n' "$exit_section" | grep -qw -- "$status" ||
    { echo "zr-cli(1) EXIT STATUS lacks $status"; missing=1; }
done
exit $missing
