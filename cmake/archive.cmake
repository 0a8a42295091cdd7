# SPDX-License-Identifier: MIT
# The static archive.  In a musl-static tree, the `archive` target writes
# echorun-VERSION-linux-ARCH.tar.gz (ARCH is Debian's name) in
# ECHORUN_ARCHIVE_DIR: the stripped binary, its manual page, LICENSE and
# the notices of what the link copied into it, in bytes that depend on the
# sources alone.  cmake/archives.sh makes one for each architecture.  Only
# a static build runs on any Linux of its architecture, and only musl's
# licence, MIT, asks no more of a static copy than its notice: glibc's,
# the LGPL, would ask for its source beside every archive.
if(NOT ECHORUN_BUILD_USED STREQUAL "musl-static")
  return()
endif()

# The notices that the licences of musl and of GCC's runtime ask to travel
# with a static copy of them, as Debian's musl-dev and echorun have them.
# Whoever copies an installed static echorun copies the code they are for.
set(notices ${CMAKE_CURRENT_BINARY_DIR}/notices)
configure_file(/usr/share/doc/musl-dev/copyright ${notices}/COPYRIGHT.musl
  COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/doc/NOTICE.libgcc
  ${notices}/NOTICE.libgcc COPYONLY)
set(notices ${notices}/COPYRIGHT.musl ${notices}/NOTICE.libgcc)
install(FILES ${notices} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(ECHORUN_ARCHIVE_DIR ${PROJECT_BINARY_DIR} CACHE PATH
  "Where the archive target writes")
set(name echorun-${PROJECT_VERSION}-linux-${ECHORUN_ARCH})
set(archive ${ECHORUN_ARCHIVE_DIR}/${name}.tar.gz)
set(stage ${PROJECT_BINARY_DIR}/archive-stage)
add_custom_command(OUTPUT ${archive}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${name}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:echorun>
    ${PROJECT_SOURCE_DIR}/doc/echorun.1 ${PROJECT_SOURCE_DIR}/LICENSE
    ${notices} ${stage}/${name}
  COMMAND ${CMAKE_OBJCOPY} --strip-all ${stage}/${name}/echorun
  COMMAND tar --create --file ${stage}/${name}.tar --directory=${stage}
    --sort=name --format=gnu --owner=0 --group=0 --numeric-owner
    --mode=u=rwX,go=rX --mtime=@${ECHORUN_EPOCH} ${name}
  COMMAND gzip -9n -c ${stage}/${name}.tar > ${archive}
  DEPENDS echorun ${notices}
  COMMENT "Packing ${name}.tar.gz"
  VERBATIM)
add_custom_target(archive DEPENDS ${archive})
