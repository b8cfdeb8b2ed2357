# shellcheck shell=bash
# Sourced by tools/run-cryptelle --tour, once setup has started the client
# and the drive bridge runs: the tour program takes the trial step by step
# as a person would, each step in its Wine session (the system session with
# the client, or the desktop session, whose programs see H:), and pictures
# every step; the pictures become PNG files, listed at the end.
#   trial_tour TOUR_EXE DESKTOP_PREFIX PICTURES SHORT
#                           SHORT=1: create, write, lock, log in, read back;
#                           no pictures
trial_tour_step() {  # SESSION TEST WHAT
  stage "$3"
  if [[ $1 == desktop ]]; then
    WINEPREFIX=$desktop wine "$tour" --gtest_filter="Trial.$2"
  else
    wine "$tour" --gtest_filter="Trial.$2"
  fi
}

trial_tour() {
  local tour=$1 desktop=$2 pictures=$3 short=$4
  if [[ $short == 0 ]]; then
    rm -rf "$pictures"
    mkdir -p "$pictures"
    export CRYPTELLE_TOUR_SHOTS=$pictures
  fi
  trial_tour_step system CreateTheUserDemo "the user demo: Welcome, Create User, recovery file, storage"
  trial_tour_step desktop WriteAFileOnH "cmd writes H:\\hello.txt, notepad shows it"
  trial_tour_step system LockAndExit "Lock & Exit from the tray menu"
  trial_tour_step system LogInAgain "Cryptelle again: Log In"
  trial_tour_step desktop ReadTheFileBack "the file is back on H:"
  [[ $short == 1 ]] && return
  trial_tour_step system ChangeAndRecoverThePassword \
    "Lock & Exit; the password changed, recovered with the recovery file; log in, lock"
  # Wine never unloads a window hook's library from the processes it reached;
  # only a new session lets PromptGuard.dll go, as Windows does at once.
  stage "a restart of the Wine session"
  trial_drive_stop
  wineboot --shutdown >/dev/null 2>&1 || true
  wineserver -w
  trial_tour_step system Uninstall "the uninstaller, OK to every question"
  end_sessions
  stage "the tour's pictures, in order:"
  local trim
  for picture in "$pictures"/*.bmp; do
    # Pictures of the whole screen keep what is on the black desktop.
    trim=()
    [[ $(/usr/bin/identify -format %w "$picture") == 1024 ]] && trim=(-trim +repage)
    /usr/bin/convert "$picture" "${trim[@]}" "${picture%.bmp}.png"
    rm "$picture"
    echo "    ${picture%.bmp}.png"
  done
}
