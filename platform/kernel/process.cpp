#include "kernel/process.h"

#include <cstdio>
#include <cstdlib>

namespace platform::kernel {
namespace {

ExitHandler exit_handler = nullptr;

}  // namespace

void RunProcess(const std::function<int()>& entry) { ExitProcess(static_cast<UINT>(entry())); }

void SetExitHandler(ExitHandler handler) { exit_handler = handler; }

}  // namespace platform::kernel

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  // The program's own image, at the base address Windows gives executables.
  return name ? nullptr : reinterpret_cast<HMODULE>(0x400000);
}

VOID WINAPI ExitProcess(UINT code) {
  if (platform::kernel::exit_handler) platform::kernel::exit_handler(code);
  std::exit(static_cast<int>(code));
}
