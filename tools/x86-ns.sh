#!/usr/bin/env bash
# tools/x86-ns.sh EMU_DIR COMMAND [ARGS...]: runs COMMAND where 32-bit x86
# programs run: in a user and mount namespace of its own whose private
# binfmt_misc hands every 32-bit x86 ELF program to EMU_DIR/qemu-i386
# (tools/x86-root.sh sets EMU_DIR up). The kernel of these machines runs no
# 32-bit program itself, and its own binfmt_misc is neither mounted nor
# changed: the registration lives and dies with the namespace, and every
# process COMMAND starts inherits it. Inside such a namespace already, it
# runs COMMAND as it is. Needs unprivileged user namespaces and a kernel
# whose binfmt_misc can be mounted in one (Linux 6.7 or later).
set -euo pipefail
emu=$(realpath -m "$1")
shift
binfmt=/proc/sys/fs/binfmt_misc
if [ -e "$binfmt/zur-i386" ]; then   # (zur_x86_inside of tools/x86-env.sh)
  exec "$@"
fi
if [ "${ZUR_X86_NS:-}" != inside ]; then
  ZUR_X86_NS=inside exec unshare --user --map-root-user --mount --propagation private --fork \
    "$0" "$emu" "$@"
fi
if [ ! -x "$emu/qemu-i386" ]; then
  echo "x86-ns: $emu/qemu-i386 is missing (tools/x86-root.sh sets it up)" >&2
  exit 1
fi
mount -t binfmt_misc binfmt_misc "$binfmt"
# The ELF header of an i386 executable or shared object (the kernel's
# binfmt_misc reads the escapes). Flags: F opens the emulator now, so that
# it is found from any mount namespace; O hands it the open binary; C runs
# it with the binary's credentials.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s\n' ":zur-i386:M::$magic:$mask:$emu/qemu-i386:FOC" >"$binfmt/register"
unset ZUR_X86_NS
exec "$@"
