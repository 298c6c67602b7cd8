// The three interfaces of the seam, bundled. Whoever builds a Platform keeps its parts alive.
//
// Threads. A platform may be called from more than one thread at once (the monitor's scan thread beside
// its main thread, the thread tests). Each one's rule:
// - Memory (platform/memory): every registry and file-system call, the seam's and the fixture builders'
//   alike, holds the part's one lock for its whole length. The system part has no lock: it is set up
//   before any thread calls it, and its calls only read.
// - Win32 (platform/win32): each call is the native call, which the system makes safe between threads;
//   the parts hold no state of their own but the network test that was given up, which all callers share
//   under a lock (FindNetworkFile runs each search on a thread of its own). SetErrorMode sets the mode of
//   the whole process. GetShortcutTarget needs COM initialised on the calling thread (kNoShellLink
//   otherwise).
// - Offline (platform/offline): Open reads the installation before any call is made. After it, the
//   registry is a memory registry (its rule above), every file-system call holds the host file system's
//   one lock while it reads the tree (reading a file's bytes happens outside it, on a descriptor of its
//   own), and the system part only reads what Open set, its shortcuts through the locked file system.
#pragma once

#include "platform/file_system_api.h"
#include "platform/registry_api.h"
#include "platform/system_api.h"

namespace kv {

struct Platform {
  RegistryApi& registry;
  FileSystemApi& files;
  SystemApi& system;
};

}  // namespace kv
