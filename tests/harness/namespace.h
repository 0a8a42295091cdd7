// SPDX-License-Identifier: MIT
// namespace: run echorun with something else at "/bin/sh", in a private
// mount namespace of the launched process only.  Root makes one directly;
// anyone else gets one inside a new user namespace that maps their own uid
// and gid to themselves, so the launched process keeps its ids.
#ifndef ECHORUN_TESTS_NAMESPACE_H
#define ECHORUN_TESTS_NAMESPACE_H

#include <functional>
#include <string>

// Empty when a private mount namespace can be made here, either way, else
// the kernel's reason for refusing.
std::string mount_namespace_refused();

// A before_exec step that bind-mounts `file` over "/bin/sh".
std::function<void()> shell_replaced_by(const std::string &file);

// A before_exec step after which "/bin/sh" names nothing: an empty file
// system covers the directory that holds it.
std::function<void()> shell_missing();

#endif
