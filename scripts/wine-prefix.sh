#!/usr/bin/env bash
# Makes sure the 32-bit Wine prefix $WINEPREFIX exists and has Wine's own fonts (the sans-serif
# dialog faces that controls draw with) in its Fonts folder: Debian's Wine reads fonts only
# from there and from the system's font folders, where the Wine fonts are not.
set -u
: "${WINEPREFIX:?}"
export WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all}
if [ ! -d "$WINEPREFIX" ]; then
  timeout 180 wineboot -i >/dev/null 2>&1 </dev/null
  timeout 60 wineserver -w
fi
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -e "$fonts/sserife.fon" ]; then
  cp /usr/share/wine/fonts/* "$fonts/"
fi
exit 0
