#!/bin/sh
# Command interpreter stand-in of a simulated machine. It appends each command text
# (argv[1]) with the current directory to the file named by TARSEL_COMMAND_LOG, one
# "directory<TAB>command" line per call, and carries out one command for real:
# "/c rd /s /q X:\dir > nul", on the drives of TARSEL_DRIVES. Nothing else is run.
printf '%s\t%s\n' "$(pwd -P)" "$1" >> "${TARSEL_COMMAND_LOG:-/dev/null}"

case "$1" in
  '/c rd /s /q '?':\'?*' > nul')
    target=${1#/c rd /s /q }
    target=${target% > nul}
    letter=$(printf '%s' "$target" | cut -c1 | tr 'A-Z' 'a-z')
    rest=$(printf '%s' "${target#??}" | tr '\\' '/')
    case "$rest" in
      *..*) exit 1 ;;  # never climb out of the drive
    esac
    [ -n "$TARSEL_DRIVES" ] && rm -rf -- "$TARSEL_DRIVES/$letter:$rest"
    ;;
esac
exit 0
