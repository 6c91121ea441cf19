#!/usr/bin/env bash
# Checks the hardening of the shipped programs as built, so that a flag cannot quietly go away
# (cmake/hardening.cmake sets them). Every failure is listed, then the script fails.
#   binary_hardening.sh elf BUILD_DIR READELF              Linux: quarn-host, quarn-host-register
#   binary_hardening.sh pe BUILD_DIR OBJDUMP OBJCOPY       Windows: the same two, .exe
set -euo pipefail
kind=$1 build=$2
failures=()
fail() { failures+=("$1"); }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The compilation units built from this checkout's sources (its own and the third-party ones it
# compiles; not the system's libraries, which come without debug information or from elsewhere)
# must have been compiled with the flags given, as their DW_AT_producer strings record. `dump`
# holds the debug file's top-level DWARF entries. A unit counts as this checkout's when its file
# name ends in src/, tools/, testing/ or node_modules/ and a path that exists here, whatever
# prefix the build gave it.
source=$(cd "$(dirname "$0")/.." && pwd)
check_compile_flags() {
  local program=$1 dump=$2
  shift 2
  local producer name tail units=()
  while IFS=$'\t' read -r producer name; do
    tail=$(sed -nE 's#^(.*/)?((src|tools|testing|node_modules)/.*)$#\2#p' <<<"$name")
    [ -n "$tail" ] && [ -f "$source/$tail" ] && units+=("$producer"$'\t'"$tail")
  done < <(awk '
    /DW_TAG_compile_unit/ { if (name != "") print producer "\t" name; producer = ""; name = "" }
    /DW_AT_producer/ { producer = $0 }
    /DW_AT_name/ && name == "" { sub(/.*: /, ""); name = $0 }
    END { if (name != "") print producer "\t" name }' "$dump")
  if [ ${#units[@]} -eq 0 ]; then
    fail "$program: no compilation units of this checkout in its debug information"
    return
  fi
  local flag missing
  for flag in "$@"; do
    missing=$(printf '%s\n' "${units[@]}" | grep -vE " ${flag}([[:space:]]|\$)" | cut -f2 |
      head -5 || true)
    [ -z "$missing" ] || fail "$program: compiled without $flag: $(echo $missing)"
  done
}

check_elf() {
  local readelf=$1 program=$2
  local path=$build/$program debug=$build/$program.debug
  [ -f "$path" ] || { fail "$program: not built"; return; }
  local header dynamic segments sections symbols
  header=$("$readelf" -hW "$path")
  dynamic=$("$readelf" -dW "$path")
  segments=$("$readelf" -lW "$path")
  sections=$("$readelf" -SW "$path")
  symbols=$("$readelf" --dyn-syms -W "$path")

  # Position-independent, every relocation resolved at start and then read-only (full RELRO).
  grep -q 'Type:.*DYN' <<<"$header" || fail "$program: not position-independent (ELF type)"
  grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$program: no PIE flag"
  grep -q 'FLAGS_1.*NOW' <<<"$dynamic" || fail "$program: no BIND_NOW (FLAGS_1 NOW)"
  grep -q 'GNU_RELRO' <<<"$segments" || fail "$program: no GNU_RELRO segment"
  # The stack protector's and fortified calls' failure routines are linked in.
  grep -q ' __stack_chk_fail' <<<"$symbols" || fail "$program: __stack_chk_fail not referenced"
  grep -qE ' __[a-z0-9_]+_chk(@|$| )' <<<"$(grep -v __stack_chk_fail <<<"$symbols")" ||
    fail "$program: no fortified (_chk) call"

  # Stripped: no symbol table and no debug information left; both are in the debug file beside
  # it, named by .gnu_debuglink and made from the same link (the same build id).
  if grep -q ' \.symtab ' <<<"$sections"; then fail "$program: .symtab left in"; fi
  if grep -q ' \.debug_' <<<"$sections"; then fail "$program: debug sections left in"; fi
  local link
  link=$("$readelf" --string-dump=.gnu_debuglink "$path" 2>/dev/null | sed -n 's/^ *\[ *0\] *//p')
  [ "$link" = "$program.debug" ] || fail "$program: .gnu_debuglink names '$link', not $program.debug"
  [ -f "$debug" ] || { fail "$program: $program.debug missing"; return; }
  local id_program id_debug
  id_program=$("$readelf" -n "$path" | sed -n 's/.*Build ID: //p')
  id_debug=$("$readelf" -n "$debug" 2>/dev/null | sed -n 's/.*Build ID: //p')
  [ -n "$id_program" ] && [ "$id_program" = "$id_debug" ] ||
    fail "$program: build ids differ ('$id_program', '$id_debug')"
  "$readelf" -SW "$debug" 2>/dev/null >"$scratch/sections"
  grep -q ' \.symtab ' "$scratch/sections" || fail "$program.debug: no symbol table"

  "$readelf" --debug-dump=info --dwarf-depth=1 "$debug" >"$scratch/units" 2>/dev/null
  check_compile_flags "$program" "$scratch/units" -fstack-protector-strong -fcf-protection=full \
    -fstack-clash-protection
  # _FORTIFY_SOURCE leaves no trace in the compiler's own record; glibc's checked wrappers do, in
  # the line tables, since its headers bring them in only when it is set.
  "$readelf" --debug-dump=line "$debug" >"$scratch/lines" 2>/dev/null
  grep -qE '(string_fortified|stdio2|wchar2|fcntl2|poll2|socket2)\.h' "$scratch/lines" ||
    fail "$program: no glibc fortified wrapper in its line tables (_FORTIFY_SOURCE off?)"

  # CET: every compilation unit above carries -fcf-protection=full (IBT and shadow-stack ready);
  # the image is marked only when every object it links is, which the C library's start files of
  # Debian 12 (Scrt1.o, crti.o) are not. A marked image is checked for both.
  local note
  note=$("$readelf" -n "$path" | grep 'x86 feature:' || true)
  if [ -n "$note" ]; then
    grep -q IBT <<<"$note" || fail "$program: CET note without IBT"
    grep -q SHSTK <<<"$note" || fail "$program: CET note without SHSTK"
  fi
}

# DLLs that Windows always takes from System32 (its KnownDLLs), where a file of the same name
# beside the program is never loaded. The whole list is the registry key
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs (see "Dynamic-link library
# search order", https://learn.microsoft.com/windows/win32/dlls/dynamic-link-library-search-order);
# these are its entries on Windows 10 and 11 that a program like ours may import, and ntdll, which
# the system maps into every process before anything else. Any other DLL is delay-loaded from
# System32 (cmake/windows.cmake).
known_dlls=(kernel32 ntdll advapi32 msvcrt ole32 oleaut32 shell32 shlwapi user32 gdi32 ws2_32
  combase rpcrt4 sechost)

check_pe() {
  local objdump=$1 objcopy=$2 program=$3
  local path=$build/$program.exe debug=$build/$program.exe.debug
  [ -f "$path" ] || { fail "$program.exe: not built"; return; }
  local headers
  headers=$("$objdump" -p "$path")

  grep -q 'DYNAMIC_BASE' <<<"$headers" || fail "$program.exe: not DYNAMIC_BASE (ASLR)"
  grep -q 'HIGH_ENTROPY_VA' <<<"$headers" || fail "$program.exe: not HIGH_ENTROPY_VA"
  grep -q 'NX_COMPAT' <<<"$headers" || fail "$program.exe: not NX_COMPAT (DEP)"

  # No COFF symbol table and no debug sections in the shipped image; both are in the debug file.
  local file_header sections
  file_header=$("$objdump" -f "$path")
  sections=$("$objdump" -h "$path")
  if grep -q HAS_SYMS <<<"$file_header"; then fail "$program.exe: COFF symbol table left in"; fi
  if grep -q ' \.debug_' <<<"$sections"; then fail "$program.exe: debug sections left in"; fi
  grep -q ' \.gnu_debuglink ' <<<"$sections" || fail "$program.exe: no .gnu_debuglink"
  [ -f "$debug" ] || { fail "$program.exe: $program.exe.debug missing"; return; }
  "$objdump" -t "$debug" >"$scratch/symbols"
  grep -q ' __stack_chk_fail$' "$scratch/symbols" ||
    fail "$program.exe: no stack protector (__stack_chk_fail) linked in"
  "$objdump" --dwarf=info --dwarf-depth=1 "$debug" >"$scratch/units" 2>/dev/null
  check_compile_flags "$program.exe" "$scratch/units" -fstack-protector-strong

  # The application manifest: resource type 24 (RT_MANIFEST), id 1, asking for nothing more than
  # the caller has and for long paths.
  grep -A3 'Entry: ID: 0x000018' <<<"$headers" | grep -q 'Entry: ID: 0x000001,' ||
    fail "$program.exe: no RT_MANIFEST resource 1"
  "$objcopy" -O binary --only-section=.rsrc "$path" "$scratch/rsrc" 2>/dev/null || true
  grep -q 'requestedExecutionLevel level="asInvoker"' "$scratch/rsrc" 2>/dev/null ||
    fail "$program.exe: manifest without asInvoker"
  grep -qE '<longPathAware[^>]*>true</longPathAware>' "$scratch/rsrc" 2>/dev/null ||
    fail "$program.exe: manifest without longPathAware"

  # Static imports: KnownDLLs only.
  local dll name
  while read -r dll; do
    name=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.[dD][lL][lL]}")
    [[ " ${known_dlls[*]} " == *" $name "* ]] ||
      fail "$program.exe: imports $dll at start, which is not a KnownDLL (delay-load it)"
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
  grep -q 'DLL Name: ' <<<"$headers" || fail "$program.exe: no import table found"
}

case $kind in
  elf) for p in quarn-host quarn-host-register; do check_elf "$3" "$p"; done ;;
  pe) for p in quarn-host quarn-host-register; do check_pe "$3" "$4" "$p"; done ;;
  *) echo "binary_hardening.sh: elf or pe first" >&2; exit 2 ;;
esac
if [ ${#failures[@]} -gt 0 ]; then
  printf 'binary_hardening: %s\n' "${failures[@]}"
  exit 1
fi
echo "binary_hardening: $kind programs in $build are hardened"
