# Sourced by the tests that use a served container as a real disk: nbdkit
# with our plugin on a Unix socket in $work, nbdfuse showing the plain disk
# as the file $work/fuse/disk, and $work/mnt for a file system on it.
#   work=...; source nbd-fuse.sh; trap nbd_fuse_cleanup EXIT
#   nbd_fuse_start NBDKIT PLUGIN PLUGIN_ARGS...   (PRELOAD: an optional
#                                                   library for nbdkit)
#   nbd_fuse_stop

nbdfuse_pid=

# ntfs-3g ends a moment after its umount returns and keeps the disk busy until
# then, so unmounting the disk below it may need a few tries.
retry() {
  for _ in $(seq 50); do
    "$@" 2>/dev/null && return 0
    sleep 0.2
  done
  "$@"
}

# The plugin refuses unaligned requests as the driver does; the blocksize
# filter turns the byte-granular requests of a file into whole sectors.
nbd_fuse_start() {
  local nbdkit=$1 plugin=$2
  shift 2
  mkdir -p "$work/fuse" "$work/mnt"
  env ${PRELOAD:+LD_PRELOAD=$PRELOAD ASAN_OPTIONS=detect_leaks=0} \
    "$nbdkit" -U "$work/nbd.sock" -P "$work/nbdkit.pid" --filter=blocksize "$plugin" minblock=512 "$@"
  nbdfuse -P "$work/nbdfuse.pid" "$work/fuse/disk" --unix "$work/nbd.sock" &
  nbdfuse_pid=$!
  for _ in $(seq 300); do [[ -s $work/nbdfuse.pid ]] && break; sleep 0.1; done
  [[ -f $work/fuse/disk ]] || { echo "FAILED: nbdfuse did not show the disk"; exit 1; }
}

nbd_fuse_stop() {
  retry fusermount3 -u "$work/fuse"
  wait "$nbdfuse_pid"
  nbdfuse_pid=
  kill "$(cat "$work/nbdkit.pid")"
  for _ in $(seq 100); do kill -0 "$(cat "$work/nbdkit.pid")" 2>/dev/null || break; sleep 0.1; done
  rm -f "$work/nbdkit.pid"
}

nbd_fuse_cleanup() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  mountpoint -q "$work/fuse" && retry fusermount3 -u "$work/fuse"
  [[ -n $nbdfuse_pid ]] && wait "$nbdfuse_pid" 2>/dev/null
  [[ -f $work/nbdkit.pid ]] && kill "$(cat "$work/nbdkit.pid")" 2>/dev/null
  sleep 0.2
  rm -rf "$work"
}
