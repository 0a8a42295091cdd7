// SPDX-License-Identifier: MIT
// namespace: run echorun with something else at "/bin/sh", in a private
// mount namespace of the launched process only.  Needs root (CAP_SYS_ADMIN).
#ifndef ECHORUN_TESTS_NAMESPACE_H
#define ECHORUN_TESTS_NAMESPACE_H

#include <functional>
#include <string>

// Empty when private mount namespaces can be made here, else the reason.
std::string mount_namespace_refused();

// A before_exec step that bind-mounts `file` over "/bin/sh".
std::function<void()> shell_replaced_by(const std::string &file);

// A before_exec step after which "/bin/sh" names nothing: an empty file
// system covers the directory that holds it.
std::function<void()> shell_missing();

#endif
