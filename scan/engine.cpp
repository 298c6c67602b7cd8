#include "scan/engine.h"

#include <stdexcept>

#include "scan/search_lists.h"
#include "scan/shell.h"

namespace kv {
namespace {

std::unique_ptr<Engine>& Installed() {
  static std::unique_ptr<Engine> engine;
  return engine;
}

}  // namespace

Engine::Engine(Platform& p) : platform(p), WinInfo(p) {
  GetStartupFolders(p, StartupFolders);
  SearchDirs = BuildSearchDirs(p);
  ExeExtensions = BuildExeExtensions(p);
}

Engine& TheEngine() {
  if (!Installed()) throw std::logic_error("the scan engine has not been loaded");
  return *Installed();
}

Engine& InstallEngine(std::unique_ptr<Engine> engine) {
  // There is nothing to return a reference to without an engine; UninstallEngine takes one away.
  if (!engine) throw std::invalid_argument("no scan engine to install");
  Installed() = std::move(engine);
  return *Installed();
}

void UninstallEngine() { Installed().reset(); }

}  // namespace kv
