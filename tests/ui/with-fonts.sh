#!/bin/sh
# Runs a command with the Wine prefix's fonts in another profile, then gives the
# prefix back its readable fonts, whatever the outcome. With V7ER_DPI set, the
# prefix's DPI is that for the run, and 96 again after it.
#   with-fonts.sh PROFILE WINE-FONTS COMMAND [ARGUMENT...]
profile=$1
fonts=$2
shift 2
dpi() {
  "$(dirname "$fonts")/wine-exec" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1
}
"$fonts" "$profile" || exit 1
if [ -n "${V7ER_DPI:-}" ]; then dpi "$V7ER_DPI" || exit 1; fi
V7ER_FONT_PROFILE=$profile "$@"
status=$?
if [ -n "${V7ER_DPI:-}" ]; then dpi 96; fi
"$fonts" readable
exit $status
