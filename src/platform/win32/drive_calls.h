// The kernel32 calls the SMART device makes, in one table: the program hands it the
// system's, and a test may hand it one of its own that answers from a script.
#pragma once

#include <windows.h>

namespace corvane {

struct Win32DriveCalls {
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::DeviceIoControl) DeviceIoControl;
  decltype(&::CloseHandle) CloseHandle;
  decltype(&::GetVersionExA) GetVersionExA;
};

const Win32DriveCalls& SystemDriveCalls();

}  // namespace corvane
