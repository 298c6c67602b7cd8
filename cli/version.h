// kvscan's version: the project's (set by the build).
#pragma once

#ifndef KV_VERSION
#define KV_VERSION "0.0.0"
#endif

namespace kv::cli {

inline constexpr const char* kVersion = KV_VERSION;

}  // namespace kv::cli
