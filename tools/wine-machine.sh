# Shared by the scripts that probe an example machine under Wine (sourced, not run): a fresh prefix in a
# temporary folder, made sound, and a machine (a registry export and its list of files) put into it.
# The sourcing script sets KVSCAN (kvscan.exe, absolute) and ROOT (the source tree) first.
WINE_FONTS=${KV_WINE_FONTS:-/usr/share/wine/fonts}

# shellcheck source=tools/wine-prefix.sh
source "$ROOT/tools/wine-prefix.sh"
wine_scratch example

say() { printf '\n== %s\n' "$*"; }
kvscan() { (cd "$RUN_DIR" && wine "$KVSCAN" "$@" </dev/null | tr -d '\r'); }
# A path on drive C: ("C:\x\y") as a path in the prefix's folder.
unix_path() { local p=${1#[Cc]:\\}; printf '%s/drive_c/%s' "$WINEPREFIX" "${p//\\//}"; }

# A fresh prefix, made sound: Wine registers a few things it does not install (bitmap fonts it keeps in its
# own data folder, 16-bit COM servers a 64-bit prefix does not have); the fonts are put where their
# registration says, the 16-bit server registrations removed, and kvscan must then find it clean.
make_sound_prefix() {
  say "A fresh Wine prefix in $RUN_DIR"
  wine_boot
  make_prefix_sound
}

# The repairs of make_sound_prefix alone. Wine registers its bitmap fonts by the 8-bit code page of the
# locale it runs in, so a prefix started in another locale is made sound again for it.
make_prefix_sound() {
  say "Making the prefix sound (locale ${LC_ALL:-${LANG:-C}})"
  wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' </dev/null | tr -d '\r' >"$RUN_DIR/fonts.txt"
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  local fonts_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
  # Fonts registered by bare file name (so looked for in C:\windows\Fonts) that are not there.
  while IFS=$'\t' read -r name file; do
    [[ $file == *\\* || $file == *:* || -e "$fonts/$file" ]] && continue
    if [ -e "$WINE_FONTS/$file" ]; then
      cp "$WINE_FONTS/$file" "$fonts/$file"
      echo "font $file: copied from $WINE_FONTS into C:\\windows\\Fonts, where its registration looks for it"
    else
      wine reg delete "$fonts_key" /v "$name" /f </dev/null >/dev/null 2>&1
      echo "font registration \"$name\" removed: Wine registers $file but does not ship it"
    fi
  done < <(sed -n 's/^    \(.*\)    REG_SZ    \(.*\)$/\1\t\2/p' "$RUN_DIR/fonts.txt")
  wine reg query 'HKCR\CLSID' /s </dev/null | tr -d '\r' >"$RUN_DIR/clsid.txt"
  # Keys "...\InProcServer" (a 16-bit server) whose default value names a DLL that is nowhere in the prefix.
  awk '/^HKEY_/ { key = $0; next }
       key ~ /\\[Ii]n[Pp]roc[Ss]erver$/ && /^    \(Default\)  *REG_SZ/ { sub(/^    \(Default\)  *REG_SZ  */, ""); print key "\t" $0 }' \
    "$RUN_DIR/clsid.txt" | while IFS=$'\t' read -r key dll; do
    if [ -z "$(find "$WINEPREFIX/drive_c/windows" -maxdepth 2 -iname "$dll" -print -quit)" ]; then
      wine reg delete "$key" /f </dev/null >/dev/null 2>&1
      echo "removed $key: a 16-bit server ($dll) this 64-bit prefix does not have"
    fi
  done
  if ! kvscan --json >"$RUN_DIR/baseline.json"; then
    echo "kvscan finds the fresh prefix itself faulty; this script does not know how to repair that:" >&2
    cat "$RUN_DIR/baseline.json" >&2
    exit 1
  fi
  echo "kvscan: the prefix is clean"
}

# Imports a registry export (wine reg import) and creates the files of a list on the prefix's drive C:.
put_machine() {
  local reg=$1 list=$2
  say "Importing $(basename "$(dirname "$reg")")/$(basename "$reg") and creating the files of $(basename "$list")"
  wine reg import "$(winepath -w "$reg")" </dev/null 2>&1 | tr -d '\r'
  local created=0 line target
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ -z "${line// }" || $line == \#* ]] && continue
    target=$(unix_path "$line")
    if [[ $line == *\\ ]]; then
      mkdir -p "$target"
    else
      mkdir -p "$(dirname "$target")"
      [ -e "$target" ] || { : >"$target"; created=$((created + 1)); }
    fi
  done <"$list"
  echo "$created files created (files Wine already has are left as they are)"
}

# The modern example's user, C:\Users\Ольга, is this prefix's own user (Wine derives the profile from the
# Linux user's name): writes the export REG and the listing FILES with the profile moved to
# $RUN_DIR/machine.reg and $RUN_DIR/files.txt.
move_modern_user() {
  local reg=$1 files=$2 profile
  profile=$(wine cmd /c 'echo %USERPROFILE%' </dev/null | tr -d '\r')
  echo "the example's C:\\Users\\Ольга is this prefix's $profile"
  python3 - "$reg" "$files" "$RUN_DIR" "$profile" <<'PY'
import sys
reg, files, target, profile = sys.argv[1:5]
def moved(text, doubled):
    old, new = "C:\\Users\\Ольга", profile
    if doubled:
        old, new = old.replace("\\", "\\\\"), new.replace("\\", "\\\\")
    text = text.replace(old, new)
    return text.replace(old[2:], new[2:])  # HOMEPATH, without the drive
text = open(reg, "rb").read().decode("utf-16")
open(target + "/machine.reg", "wb").write(b"\xff\xfe" + moved(text, True).encode("utf-16-le"))
listing = open(files, encoding="utf-8").read()
open(target + "/files.txt", "w", encoding="utf-8").write(moved(listing, False))
PY
}
