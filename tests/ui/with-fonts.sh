#!/bin/sh
# Runs a command with the Wine prefix's fonts in another profile, then gives the
# prefix back its readable fonts, whatever the outcome.
#   with-fonts.sh PROFILE WINE-FONTS COMMAND [ARGUMENT...]
profile=$1
fonts=$2
shift 2
"$fonts" "$profile" || exit 1
V7ER_FONT_PROFILE=$profile "$@"
status=$?
"$fonts" readable
exit $status
