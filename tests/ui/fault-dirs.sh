#!/bin/sh
# Prepares the folders in which the UI tests make a save fail, and removes them
# again. Each holds a copy of the program and a placeholder printer.ini, which
# the test rewrites (allowed: only new names are refused there):
#   read-only-folder  nothing may be created, renamed or removed in it
#                     (chattr +i as root, who ignores the mode; mode 0555 else)
#   full-disk         a small tmpfs of its own, filled up (root only)
# Where the machine cannot make a fault, NAME.skip says why, for the test to
# report. The set-up first undoes whatever an interrupted run left behind: an
# immutable folder cannot even be deleted.
#
#   fault-dirs.sh setup ROOT EXE
#   fault-dirs.sh cleanup ROOT
set -u

mounts_under() {
  awk -v root="$1/" 'index($2, root) == 1 { print $2 }' /proc/mounts
}

cleanup() {
  root=$1
  [ -e "$root" ] || return 0
  for mount_point in $(mounts_under "$root"); do
    # A program that was just ended may still hold its image for a moment.
    tries=0
    until umount "$mount_point" 2>/dev/null; do
      tries=$((tries + 1))
      if [ $tries -ge 20 ]; then
        umount -l "$mount_point" || return 1
        break
      fi
      sleep 0.25
    done
  done
  for link in "$root"/*; do
    [ -L "$link" ] || continue
    target=$(readlink -f "$link")
    case $target in
      /tmp/v7er-fault.*/*)
        chattr -i "$target" 2>/dev/null
        chmod u+w "$target" 2>/dev/null
        rm -rf "$(dirname "$target")"
        ;;
    esac
  done
  for dir in "$root"/*; do
    [ -d "$dir" ] || continue
    chattr -i "$dir" 2>/dev/null
    chmod u+w "$dir" 2>/dev/null
  done
  rm -rf "$root"
}

# A copy of the program and a placeholder printer.ini; on a full file system
# the placeholder keeps a block for the test's own rewrite.
fill_dir() {
  cp "$exe" "$1/V7ER.exe" && printf '; placeholder\r\n' >"$1/printer.ini"
}

skip() {
  printf '%s\n' "$2" >"$root/$1.skip"
  echo "fault-dirs: $1 skipped: $2"
}

make_immutable() {
  if [ "$(id -u)" -ne 0 ]; then
    chmod a-w "$1"
    return
  fi
  command -v chattr >/dev/null || { echo "no chattr command"; return 1; }
  chattr +i "$1" 2>&1
}

setup_read_only_folder() {
  dir=$root/read-only-folder
  mkdir "$dir" && fill_dir "$dir" || exit 1
  why=$(make_immutable "$dir") && return
  # Not every file system keeps the flag (network and some overlay mounts):
  # try the temporary directory's, through a link.
  other=$(mktemp -d /tmp/v7er-fault.XXXXXX) || exit 1
  mkdir "$other/read-only-folder" && fill_dir "$other/read-only-folder" || exit 1
  if why_tmp=$(make_immutable "$other/read-only-folder"); then
    rm -rf "$dir" && ln -s "$other/read-only-folder" "$dir" || exit 1
    echo "fault-dirs: read-only-folder is in $other: $why"
    return
  fi
  rm -rf "$other"
  skip read-only-folder "cannot make a folder unchangeable here or in /tmp: $why; $why_tmp"
}

setup_full_disk() {
  dir=$root/full-disk
  mkdir "$dir" || exit 1
  if [ "$(id -u)" -ne 0 ]; then
    skip full-disk "mounting a small file system needs root (running as uid $(id -u))"
    return
  fi
  # Room for the program and the placeholder, then filled to the last block.
  exe_blocks=$((($(stat -c %s "$exe") + 4095) / 4096))
  if ! why=$(mount -t tmpfs -o "size=$(((exe_blocks + 16) * 4))k,mode=0755" v7er-full "$dir" 2>&1); then
    skip full-disk "cannot mount a small tmpfs: $why"
    return
  fi
  fill_dir "$dir" || exit 1
  dd if=/dev/zero of="$dir/filler" bs=4096 2>/dev/null
  if printf x >"$dir/probe" 2>/dev/null; then
    echo "fault-dirs: the tmpfs at $dir did not fill up" >&2
    exit 1
  fi
  rm -f "$dir/probe"
}

case ${1:-} in
  setup)
    [ $# -eq 3 ] || { echo "usage: $0 setup ROOT EXE" >&2; exit 2; }
    root=$2
    exe=$3
    cleanup "$root" || exit 1
    mkdir -p "$root" || exit 1
    setup_read_only_folder
    setup_full_disk
    ;;
  cleanup)
    [ $# -eq 2 ] || { echo "usage: $0 cleanup ROOT" >&2; exit 2; }
    cleanup "$2"
    ;;
  *)
    echo "usage: $0 setup ROOT EXE | cleanup ROOT" >&2
    exit 2
    ;;
esac
