# shellcheck shell=bash
# Sourced by tools/run-cryptelle (WINEPREFIX set): the Linux half of the
# trial's drive. cryptelle-trial-bridge runs in the system session (the one
# with the driver) and asks; the keeper here answers, one at a time:
#   ntfs BYTES        an NTFS image of that size for the fmifs stand-in (mkntfs)
#   mount X PORT      nbdfuse shows the bridge's NBD export (the driver's
#                     disk) as a file, ntfs-3g mounts it, and the desktop
#                     prefix's dosdevices/x: points at the mount
#   unmount[-now]     the reverse, before the client locks the drive; a plain
#                     unmount is refused ("busy") while files are open on it
# Only the desktop session sees the mount: Wine's server opens files itself,
# and in the system session it would wait on ntfs-3g, which waits on the
# bridge, which waits on that server.
#
#   trial_drive_start WORK DESKTOP_PREFIX BRIDGE_EXE STAND_IN_DLL
#                     (the last two as Windows paths)
#   trial_drive_stop  unmounts what is mounted and ends the bridge
#   trial_drive_running WORK   true while a keeper serves from WORK
trial_testbed_setup=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/volume" && pwd)/testbed-setup.sh
trial_work=
trial_desktop=
trial_letter=
trial_nbdfuse=
trial_bridge_pid=
trial_keeper_pid=

trial_say() { echo "    drive: $*" >&3; }

trial_make_image() {  # BYTES
  (($1 % 1048576 == 0)) || return 1
  trial_say "mkntfs makes the NTFS of $(($1 / 1048576)) MB for the fmifs stand-in"
  # shellcheck source=tests/wine/volume/testbed-setup.sh
  (CRYPTDSK_PACKAGE_DIR='' CRYPTELLE_FMIFS_STANDIN='' CRYPTELLE_NTFS_IMAGE_COPIES='' \
    CRYPTELLE_NTFS_SIZES_MB=$(($1 / 1048576)) source "$trial_testbed_setup") >&3 2>&1
}

# nbdfuse lets go of the disk (ntfs-3g ends a moment after its unmount and
# holds the disk until then).
trial_detach_disk() {
  for _ in $(seq 100); do fusermount3 -u "$trial_work/fuse" 2>/dev/null && break; sleep 0.2; done
  wait "$trial_nbdfuse" 2>/dev/null || true
}

trial_mount() {  # LETTER PORT
  local letter=${1,,} port=$2
  mkdir -p "$trial_work/fuse" "$trial_work/mnt"
  rm -f "$trial_work/nbdfuse.pid"
  nbdfuse -P "$trial_work/nbdfuse.pid" "$trial_work/fuse/disk" --tcp 127.0.0.1 "$port" \
    </dev/null >>"$trial_work/nbdfuse.log" 2>&1 &
  trial_nbdfuse=$!
  for _ in $(seq 100); do [[ -s $trial_work/nbdfuse.pid ]] && break; sleep 0.1; done
  [[ -f $trial_work/fuse/disk ]] || return 1
  if ! ntfs-3g "$trial_work/fuse/disk" "$trial_work/mnt" >&3 2>&1; then
    trial_detach_disk
    return 1
  fi
  ln -sfn "$trial_work/mnt" "$trial_desktop/dosdevices/$letter:"
  trial_letter=$letter
  trial_say "${letter^^}: mounted: the bridge serves the driver's disk on 127.0.0.1:$port," \
    "nbdfuse shows it as a file, ntfs-3g mounts it; Wine programs of the desktop" \
    "session see it (run-cryptelle --wine PROGRAM)"
}

trial_unmount() {  # [now]
  [[ -n $trial_letter ]] || return 0
  if [[ ${1:-} == now ]]; then
    # The file system lets go of the files still open (as root), then of the
    # disk.
    umount -f "$trial_work/mnt" 2>/dev/null || true
    fusermount3 -u -z "$trial_work/mnt" 2>/dev/null || true
  elif ! fusermount3 -u "$trial_work/mnt" 2>/dev/null; then
    trial_say "${trial_letter^^}: in use; not unmounted"
    return 1
  fi
  rm -f "$trial_desktop/dosdevices/$trial_letter:"
  trial_detach_disk
  trial_say "${trial_letter^^}: unmounted; ntfs-3g wrote what it held through the driver"
  trial_letter=
}

trial_answer() {  # REQUEST ARGS...
  case $1 in
    ntfs) trial_make_image "$2" ;;
    mount) trial_mount "$2" "$3" ;;
    unmount) trial_unmount || { echo busy; return; } ;;
    unmount-now) trial_unmount now ;;
    *) false ;;
  esac && echo ok || echo failed
}

trial_keeper() {
  trap 'trial_unmount now; exit 0' TERM
  local kind request
  while read -r kind request; do
    if [[ $kind == ask ]]; then
      # shellcheck disable=SC2086  # the request's words
      trial_answer $request
    else
      trial_say "bridge: $request"
      [[ $request == ready ]] && touch "$trial_work/ready"
    fi
  done
}

trial_drive_start() {  # WORK DESKTOP_PREFIX BRIDGE_EXE STAND_IN_DLL
  trial_work=$1 trial_desktop=$2
  shift 2
  rm -rf "$trial_work"
  mkdir -p "$trial_work"
  mkfifo "$trial_work/asks" "$trial_work/answers"
  # Both ends open the pipes in the same order.
  wine "$1" "$2" <"$trial_work/answers" >"$trial_work/asks" 2>>"$trial_work/bridge.log" &
  trial_bridge_pid=$!
  trial_keeper 3>&1 >"$trial_work/answers" <"$trial_work/asks" &
  trial_keeper_pid=$!
  echo "$trial_keeper_pid" >"$trial_work/keeper.pid"
  for _ in $(seq 300); do [[ -f $trial_work/ready ]] && return 0; sleep 0.1; done
  echo "the bridge did not start; see $trial_work/bridge.log" >&2
  return 1
}

trial_drive_running() {
  local keeper
  keeper=$(cat "$1/keeper.pid" 2>/dev/null) && kill -0 "$keeper" 2>/dev/null
}

trial_drive_stop() {
  [[ -n $trial_keeper_pid ]] || return 0
  kill "$trial_keeper_pid" 2>/dev/null || true
  wait "$trial_keeper_pid" 2>/dev/null || true
  kill "$trial_bridge_pid" 2>/dev/null || true
  trial_keeper_pid=
}
