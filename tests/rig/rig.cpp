#include "tests/rig/rig.h"

#include <dlgs.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/expected.h"
#include "tests/wav_writer.h"
#include "tools/simgame/simgame_protocol.h"
#include "ui/control_ids.h"

namespace harkwell::rig {
namespace {

// How long one tick may take at most, for the bound of a wait on ticks:
// far above the 250 ms interval, for a loaded machine or an emulated program.
constexpr auto kTickBound = 1500ms;

// The answer, or -1 when none comes in time.
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                    std::chrono::milliseconds timeout = 5s) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                           static_cast<UINT>(timeout.count()), &result))
    return -1;
  return static_cast<LRESULT>(result);
}

std::vector<std::string> PlayedFiles() {
  const char* played = std::getenv("HARKWELL_PLAYED_RAW");
  if (played == nullptr) return {};
  const std::string pattern = FromUnixPath(played) + "*";
  const std::string folder = pattern.substr(0, pattern.find_last_of('\\') + 1);
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.push_back(folder + found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());  // played.raw sorts before played.raw.0001
  return files;
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    std::this_thread::sleep_for(10ms);  // the polling step, not a wait for anything
  }
}

// Another program can change the text between the length and the read: a
// text that fills the buffer may have been cut, so it is read again into a
// larger one, a bounded number of times.
std::string WindowText(HWND window) {
  std::string text;
  int size = GetWindowTextLengthA(window) + 2;
  for (int attempt = 0; attempt < 8; ++attempt) {
    text.assign(static_cast<std::size_t>(size), '\0');
    const int length = GetWindowTextA(window, text.data(), size);
    text.resize(static_cast<std::size_t>(length));
    if (length < size - 1) break;
    size = std::max(size * 2, GetWindowTextLengthA(window) + 2);
  }
  return text;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

HWND FindProcessWindow(DWORD process, const char* windowClass, const char* title) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, windowClass, title)) != nullptr) {
    if (process == 0 || ProcessOf(window) == process) return window;
  }
  return nullptr;
}

bool Answers(HWND window, std::chrono::milliseconds timeout) {
  return SendBounded(window, WM_NULL, 0, 0, timeout) != -1;
}

std::string ProgramDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string program = path;
  return program.substr(0, program.find_last_of("\\/") + 1);
}

std::string FromUnixPath(const char* unixPath) {
  if (unixPath == nullptr || *unixPath != '/') return {};
  std::string path = std::string("Z:") + unixPath;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

std::string BuiltFile(bool x86, const std::string& name) {
  return (x86 ? FromUnixPath(std::getenv("HARKWELL_I686_BIN")) + "\\" : ProgramDirectory()) + name;
}

std::string HarkwellExe(bool x86) {
  const std::string exe = FromUnixPath(std::getenv(x86 ? "HARKWELL_WIN32_EXE" : "HARKWELL_WIN64_EXE"));
  return exe.empty() ? BuiltFile(x86, "Harkwell.exe") : exe;
}

std::string Utf8(const std::wstring& text) {
  std::string utf8(text.size() * 3, '\0');  // the most UTF-8 a UTF-16 unit can need
  utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                                           static_cast<int>(text.size()), utf8.data(),
                                                           static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
      CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::wstring TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// ---------------------------------------------------------------- Process

namespace {

// Every program this one starts ends with it, even when it crashes, so none
// is left behind to hold a window, a game or the output ctest waits on.
HANDLE ChildrenJob() {
  static const HANDLE job = [] {
    HANDLE created = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (created != nullptr) {
      SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return created;
  }();
  return job;
}

}  // namespace

bool Process::Start(const std::wstring& commandLine, const std::wstring& folder) {
  Kill();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring writable = commandLine;  // CreateProcessW may write into it
  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  if (ChildrenJob() != nullptr) AssignProcessToJobObject(ChildrenJob(), info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  id_ = info.dwProcessId;
  return true;
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(std::chrono::milliseconds timeout) const {
  return !process_ ||
         WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

void Process::Kill() {
  if (!process_) return;
  if (Running()) TerminateProcess(process_.get(), 1);
  WaitForExit();
  process_.reset();
  id_ = 0;
}

// ---------------------------------------------------------------- Game

bool Game::Start(const std::string& arguments, const std::string& exe) {
  if (!process_.Start(Wide("\"" + exe + "\" " + arguments))) return false;
  return WaitFor([&] { return (window_ = FindProcessWindow(process_.Id(), kGameWindowClass)) != nullptr; });
}

void Game::Stop() {
  process_.Kill();
  window_ = nullptr;
}

bool Game::Send(std::uint32_t tag, const std::string& text) const {
  COPYDATASTRUCT data{tag, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
  return SendBounded(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == TRUE;
}

bool Game::Command(const std::string& text) const { return Send(simgame::kCopyDataTag, text); }

bool Game::Queue(const std::string& text) const { return Send(simgame::kQueueForNextTitleTag, text); }

bool Game::WaitForTitle(const std::string& title, std::chrono::milliseconds timeout) const {
  return WaitFor([&] { return Title() == title; }, timeout);
}

long Game::TitleWrites() const { return static_cast<long>(SendBounded(window_, simgame::kQueryTitleWrites)); }

bool Game::WaitTicks(int ticks) const {
  const long start = TitleWrites();
  return start >= 0 && WaitFor([&] { return TitleWrites() >= start + ticks; }, kTickBound * (ticks + 2));
}

std::vector<std::string> Game::TitlesOverTicks(int ticks, const std::string& until) const {
  std::vector<std::string> titles{Title()};
  const long start = TitleWrites();
  WaitFor(
      [&] {
        if (const std::string title = Title(); title != titles.back()) titles.push_back(title);
        return (start >= 0 && TitleWrites() >= start + ticks) || (!until.empty() && titles.back() == until);
      },
      kTickBound * (ticks + 2));
  return titles;
}

bool Game::ReplaceWindow() {
  const HWND old = window_;
  return Command("newwindow") && WaitFor([&] {
           window_ = FindProcessWindow(process_.Id(), kGameWindowClass);
           return window_ != nullptr && window_ != old && !IsWindow(old);
         });
}

// ---------------------------------------------------------------- Harkwell

namespace {

bool NoHarkwellRuns() {
  return WaitFor(
      [] { return OwnedHandle(OpenMutexW(SYNCHRONIZE, FALSE, ui::kInstanceMutex)).get() == nullptr; });
}

}  // namespace

bool Harkwell::Start(const std::string& exe) { return Launch(L"", {}, exe) && WaitForMain(); }

bool Harkwell::Launch(const std::wstring& arguments, const std::wstring& folder, const std::string& exe) {
  form1_ = nullptr;
  process_.Kill();
  return NoHarkwellRuns() && process_.Start(L"\"" + Wide(exe) + L"\" " + arguments, folder);
}

bool Harkwell::WaitForMain(bool shown) {
  return WaitFor([&] {
    form1_ = FindProcessWindow(process_.Id(), ui::kForm1Class);
    return form1_ != nullptr && (IsWindowVisible(form1_) != FALSE) == shown;
  });
}

bool Harkwell::Exit() {
  PostMessageA(form1_, WM_CLOSE, 0, 0);
  const bool gone = WaitFor([&] { return !IsWindow(form1_); });
  return gone && process_.WaitForExit();
}

HWND Harkwell::Control(int id) const { return ControlOf(form1_, id); }

void Harkwell::Click(int id) const { PostMessageA(Control(id), BM_CLICK, 0, 0); }

void Harkwell::SetChecked(int id, bool ticked) const {
  SendBounded(Control(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED);
}

bool Harkwell::IsTicked(int id) const { return SendBounded(Control(id), BM_GETCHECK) == BST_CHECKED; }

bool Harkwell::ToTray(std::chrono::milliseconds timeout) const {
  PostMessageA(form1_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  return WaitFor([&] { return !IsWindowVisible(form1_) && TrayIconExists(form1_); }, timeout);
}

bool Harkwell::FromTray(std::chrono::milliseconds timeout, LPARAM report) const {
  PostMessageA(form1_, WM_LBUTTONDOWN, 1, report);  // the icon's report, as its callback message
  return WaitFor([&] { return IsWindowVisible(form1_) && !TrayIconExists(form1_); }, timeout);
}

bool Harkwell::Flush() const {
  // Posted messages of one thread are handled in order, so once a check box
  // posted a new state after them shows it, they have all been handled.
  HWND box = Control(ui::kChkFlashJoin);
  const LRESULT state = SendBounded(box, BM_GETCHECK);
  PostMessageA(box, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  const bool handled = WaitFor([&] { return SendBounded(box, BM_GETCHECK) != state; });
  PostMessageA(box, BM_SETCHECK, static_cast<WPARAM>(state), 0);
  return handled && WaitFor([&] { return SendBounded(box, BM_GETCHECK) == state; });
}

HWND Harkwell::WaitForWindow(const char* windowClass, const char* title,
                             std::chrono::milliseconds timeout) const {
  HWND window = nullptr;
  WaitFor(
      [&] {
        window = FindProcessWindow(ProcessId(), windowClass, title);
        return window != nullptr && IsWindowVisible(window);
      },
      timeout);
  return window;
}

std::string Harkwell::ClickBegin() const {
  const std::string before = Caption(ui::kCmdBegin);
  Click(ui::kCmdBegin);
  HWND box = nullptr;
  WaitFor([&] {
    box = FindProcessWindow(ProcessId(), "#32770", expected::kTitle);
    return (box != nullptr && IsWindowVisible(box)) || Caption(ui::kCmdBegin) != before;
  });
  if (box != nullptr) return CloseMessageBox(box);
  return Caption(ui::kCmdBegin) != before ? std::string() : kNothingHappened;
}

std::string Harkwell::CloseMessageBox(HWND box) {
  std::string text = WindowText(GetDlgItem(box, 0xFFFF));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitFor([&] { return !IsWindow(box); });
  return text;
}

std::string Harkwell::ChooseSound(int id, const std::wstring& path) const {
  Click(id);
  HWND dialog = WaitForWindow("#32770", "Select Sound");
  HWND fileName = nullptr;
  if (dialog == nullptr || !WaitFor([&] { return (fileName = GetDlgItem(dialog, cmb13)) != nullptr; }))
    return "<no dialog>";
  // The dialog fills in its preset just after it shows, when it has one; the
  // text is read from the control itself, which GetWindowText cannot do
  // across processes.
  char preset[MAX_PATH] = {};
  WaitFor(
      [&] {
        SendBounded(fileName, WM_GETTEXT, sizeof preset, reinterpret_cast<LPARAM>(preset));
        return preset[0] != '\0';
      },
      1s);
  if (path.empty()) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  } else {
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  }
  return WaitFor([&] { return !IsWindow(dialog); }) ? preset : "<dialog stayed open>";
}

HWND ControlOf(HWND form1, int id) {
  HWND control = GetDlgItem(form1, id);
  return control != nullptr ? control : GetDlgItem(GetDlgItem(form1, ui::kFrameSettings), id);
}

bool TrayIconExists(HWND form1) {
  // Modifying nothing succeeds only for an icon that exists.
  NOTIFYICONDATAA probe{};
  probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
  probe.hWnd = form1;
  probe.uID = expected::kTrayIconId;
  return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// ---------------------------------------------------------------- sounds

std::string WaveFile(TestSound sound) { return test::PcmWave(sound.value, sound.Bytes() / 2); }

void WriteFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream(path.c_str(), std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<PlayedSound> PlayedSounds() {
  std::vector<PlayedSound> sounds;
  for (const std::string& file : PlayedFiles()) {
    std::ifstream in(file, std::ios::binary);
    const std::string samples((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (samples.empty()) continue;  // the device opened for a probe, without a sound
    PlayedSound sound{samples.size(), 0};
    std::memcpy(&sound.value, samples.data(), std::min<std::size_t>(2, samples.size()));
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
      if (std::memcmp(samples.data() + i, &sound.value, 2) != 0) sound.value = 0;
    }
    sounds.push_back(sound);
  }
  return sounds;
}

void ForgetPlayedSounds() {
  for (const std::string& file : PlayedFiles()) DeleteFileA(file.c_str());
}

bool PlayedExactly(const std::vector<TestSound>& expected, std::chrono::milliseconds timeout) {
  return WaitFor(
      [&] {
        const std::vector<PlayedSound> played = PlayedSounds();
        return std::equal(played.begin(), played.end(), expected.begin(), expected.end(),
                          [](const PlayedSound& p, const TestSound& e) {
                            return p.value == e.value && p.bytes == e.Bytes();
                          });
      },
      timeout);
}

std::string Describe(const std::vector<PlayedSound>& played) {
  std::string text = std::to_string(played.size()) + " played:";
  for (const PlayedSound& sound : played) {
    char one[48];
    std::snprintf(one, sizeof one, " %zu bytes of 0x%04X", sound.bytes, sound.value);
    text += one;
  }
  return text;
}

}  // namespace harkwell::rig
