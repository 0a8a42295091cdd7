# SPDX-License-Identifier: MIT
# cmake -P: the build that configure makes, and the line it prints or the error it stops with,
# from ECHORUN_BUILD, ECHORUN_SANITIZE and what the probes found.  The probes themselves are not
# run.
cmake_minimum_required(VERSION 3.18...3.31)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/libc.cmake)

# The builds the probes found possible; why musl-static was not.
set(all musl-static glibc-static glibc-dynamic)
set(no_libc_a glibc-static glibc-dynamic)
set(no_musl "musl-static: no musl was found: install musl")
set(none "")
set(cases
  # ECHORUN_BUILD sanitize can       why     what configure says, or its error
  auto            OFF      all       none    "musl-static. the fastest build$"
  auto            OFF      no_libc_a no_musl "glibc-static. musl-static starts faster, but no musl"
  auto            ON       all       none    "glibc-dynamic. as the sanitizers need$"
  glibc-dynamic   OFF      all       none    "musl-static starts faster: -DECHORUN_BUILD=auto$"
  musl-static     OFF      no_libc_a no_musl "^ECHORUN_BUILD=musl-static: no musl was found"
  glibc-static    ON       all       none    "^ECHORUN_SANITIZE needs -DECHORUN_BUILD=glibc-dyn"
  static          OFF      all       none    "^ECHORUN_BUILD is 'static': use one of auto, musl-")
while(cases)
  list(POP_FRONT cases want sanitize can why expected)
  echorun_choose_build(build said ${want} ${sanitize} "${${can}}" "${${why}}")
  if(NOT said MATCHES "${expected}")
    message(SEND_ERROR "${want}, sanitize ${sanitize}, ${can}: got \"${said}\"")
  endif()
endwhile()
