// Planted beside Harkwell.exe under the names of system DLLs (see
// architectures_test.cpp). Once loaded, it leaves a marker beside itself: its
// own file name with ".loaded" added.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH) {
    lstrcatW(path, L".loaded");
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  return TRUE;
}

// As winmm.dll, what a program that imports winmm calls, so that it starts.
extern "C" __declspec(dllexport) BOOL WINAPI sndPlaySoundA(LPCSTR, UINT) { return FALSE; }
extern "C" __declspec(dllexport) UINT WINAPI waveOutGetNumDevs() { return 1; }
