# Wine test bench: a private prefix, HOME and X display under build/.
# Source this file; it defines functions only.
#
# Safety: a fresh prefix links "My Documents", Desktop and the like to the Linux
# home, and the recycle bin is the Linux trash. Every function here works on a
# prefix under build/ whose links were replaced by plain folders, and refuses
# to run anything otherwise.

SANDBOX_PIDS=()

sandbox_log() { echo "sandbox: $*" >&2; }

# sandbox_env ROOT: point every variable Wine and X clients read at ROOT.
sandbox_env() {
  local root=$1
  export SANDBOX_ROOT=$root
  export HOME=$root/home
  export XDG_DATA_HOME=$root/home/.local/share
  export XDG_CONFIG_HOME=$root/home/.config
  export XDG_CACHE_HOME=$root/home/.cache
  export XDG_RUNTIME_DIR=$root/run
  export WINEPREFIX=$root/prefix
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export TIDEWELL_SANDBOX=$root
  mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# Fails unless the prefix is one of ours and holds no link out of it.
sandbox_check() {
  [[ -n ${WINEPREFIX:-} && -n ${SANDBOX_ROOT:-} && $WINEPREFIX == "$SANDBOX_ROOT/prefix" ]] || {
    sandbox_log "no sandbox prefix set"; return 1; }
  [[ $HOME == "$SANDBOX_ROOT/home" ]] || { sandbox_log "HOME is not the sandbox home"; return 1; }
  local links
  links=$(find "$WINEPREFIX/drive_c/users" -type l 2>/dev/null | head -5)
  if [[ -n $links ]]; then
    sandbox_log "links left under drive_c/users: $links"; return 1
  fi
  [[ ! -e $WINEPREFIX/dosdevices/z: && ! -L $WINEPREFIX/dosdevices/z: ]] || {
    sandbox_log "drive Z: still maps the Linux root"; return 1; }
  return 0
}

# sandbox_create ROOT: a new prefix (the old one under ROOT is removed first).
sandbox_create() {
  local root=$1
  case $root in
    */build/*) ;;
    *) sandbox_log "refusing a sandbox outside build/: $root"; return 1 ;;
  esac
  if [[ -d $root ]]; then
    WINEPREFIX=$root/prefix timeout 20 wineserver -k 2>/dev/null || true
    rm -rf "$root"
  fi
  sandbox_env "$root"
  timeout 120 wineboot -i >/dev/null 2>&1 || { sandbox_log "wineboot failed"; return 1; }
  timeout 60 wineserver -w || true

  # Every link from the prefix into the Linux home becomes a plain folder.
  local l
  while IFS= read -r l; do
    rm -f "$l" && mkdir -p "$l"
  done < <(find "$WINEPREFIX/drive_c/users" -type l)
  rm -f "$WINEPREFIX/dosdevices/z:"
  echo disable >"$WINEPREFIX/.update-timestamp"

  timeout 60 wineserver -p10 || true
  # Keep winebrowser from handing addresses to the Linux desktop.
  timeout 60 wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d true /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCU\Software\Wine\WineBrowser' /v Mailers /d true /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCR\htmlfile\shell\open\command' /ve /d '"C:\testbin\fakebrowser.exe" "%1"' /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCR\.htm' /ve /d htmlfile /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCR\.html' /ve /d htmlfile /f >/dev/null 2>&1
  # A current Windows, as users run.
  timeout 60 wine winecfg /v win10 >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
  sandbox_check
}

# sandbox_open ROOT: reuse an existing checked prefix or create one.
sandbox_open() {
  local root=$1
  if [[ -f $root/prefix/system.reg ]]; then
    sandbox_env "$root"
    sandbox_check || sandbox_create "$root"
  else
    sandbox_create "$root"
  fi
}

# A private X display with openbox (keys and focus need a window manager).
sandbox_display() {
  local fdfile=$SANDBOX_ROOT/display
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  SANDBOX_PIDS+=($!)
  local i
  for i in $(seq 100); do
    [[ -s $fdfile ]] && break
    sleep 0.05
  done
  [[ -s $fdfile ]] || { sandbox_log "Xvfb did not start"; return 1; }
  export DISPLAY=:$(tr -d '\n' <"$fdfile")
  openbox --sm-disable >/dev/null 2>&1 &
  SANDBOX_PIDS+=($!)
  sleep 0.5
}

# Keep a wineserver alive for the whole run so that each test starts fast.
# Wine's own background processes (services, devices, the desktop's
# explorer) are started here with no terminal, so that they never hold a
# test runner's output pipe open after the test has ended.
sandbox_server() {
  wineserver -p </dev/null >/dev/null 2>&1 || true
  timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  if [[ -n ${DISPLAY:-} ]]; then
    timeout 60 wine rundll32.exe shell32.dll,Control_RunDLL nothing.cpl </dev/null >/dev/null 2>&1 || true
  fi
}

# Ends what this bench started, by PID, then the prefix's wineserver.
sandbox_stop() {
  if [[ -n ${WINEPREFIX:-} ]]; then timeout 20 wineserver -k 2>/dev/null || true; fi
  local p
  for p in "${SANDBOX_PIDS[@]}"; do
    kill "$p" 2>/dev/null || true
  done
  for p in "${SANDBOX_PIDS[@]}"; do
    wait "$p" 2>/dev/null || true
  done
  SANDBOX_PIDS=()
}

# Copies the built program into the prefix, where the tests and the run find it.
sandbox_install() {
  local bindir=$1
  local dest="$WINEPREFIX/drive_c/Program Files/Tidewell"
  mkdir -p "$dest"
  cp -f "$bindir"/Varnholt.exe "$dest/"
  if [[ -f $bindir/MSHook.dll ]]; then cp -f "$bindir"/MSHook.dll "$dest/"; fi
  # The stand-in browser the sandbox's .htm association points at.
  mkdir -p "$WINEPREFIX/drive_c/testbin"
  if [[ -f $bindir/fakebrowser.exe ]]; then cp -f "$bindir"/fakebrowser.exe "$WINEPREFIX/drive_c/testbin/"; fi
  # The installer the end-to-end test installs and uninstalls in the prefix.
  if [[ -f $bindir/../installer/Tidewell-setup.exe ]]; then
    cp -f "$bindir"/../installer/Tidewell-setup.exe "$WINEPREFIX/drive_c/testbin/"
  fi
  export TIDEWELL_EXE='C:\Program Files\Tidewell\Varnholt.exe'
}
