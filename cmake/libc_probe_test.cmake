# SPDX-License-Identifier: MIT
# cmake -P: musl's name for targets as compilers name them, the name under
# which echorun looks for musl.  One row: the compiler's -dumpmachine, then
# musl's name, or - where there is no musl to look for.  The Debian rows are
# the directories that musl-dev of each architecture installs.
include(${CMAKE_CURRENT_LIST_DIR}/libc_probe.cmake)

set(rows
  x86_64-linux-gnu x86_64-linux-musl
  x86_64-pc-linux-gnu x86_64-linux-musl
  x86_64-linux-gnux32 x86_64-linux-muslx32
  aarch64-linux-gnu aarch64-linux-musl
  i686-linux-gnu i386-linux-musl
  i586-pc-linux-gnu i386-linux-musl
  arm-linux-gnueabihf arm-linux-musleabihf
  armv7-unknown-linux-gnueabihf arm-linux-musleabihf
  arm-linux-gnueabi arm-linux-musleabi
  mips64el-linux-gnuabi64 mips64el-linux-musl
  mips64el-linux-gnuabin32 mips64el-linux-musln32
  powerpc64le-linux-gnu powerpc64le-linux-musl
  s390x-linux-gnu s390x-linux-musl
  riscv64-linux-gnu riscv64-linux-musl
  x86_64-alpine-linux-musl x86_64-linux-musl
  x86_64-w64-mingw32 -
  aarch64-apple-darwin23 -)

while(rows)
  list(POP_FRONT rows machine want)
  echorun_musl_name_of(${machine} got)
  if(NOT got)
    set(got -)
  endif()
  if(NOT got STREQUAL want)
    message(SEND_ERROR "${machine}: musl's name is ${want}, not ${got}")
  endif()
endwhile()
