#!/usr/bin/env bash
# Makes sure the 32-bit Wine prefix $WINEPREFIX exists and has Wine's own fonts (the sans-serif
# dialog faces that controls draw with) in its Fonts folder: Debian's Wine reads fonts only
# from there and from the system's font folders, where the Wine fonts are not.
# Its top-level windows are left unmanaged: on a virtual display without a window manager,
# Wine otherwise waits 2 s for a manager's answer each time it hides or destroys one.
# A program that crashes ends at once instead of waiting on Wine's crash dialog.
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
settings=$(mktemp --suffix=.reg)
cat >"$settings" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
if [ -f "$WINEPREFIX/user.reg" ] && ! grep -q '^"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg"; then
  timeout 60 wine regedit /S "$(winepath -w "$settings" 2>/dev/null)" >/dev/null 2>&1 </dev/null
  timeout 60 wineserver -w
fi
rm -f "$settings"
exit 0
