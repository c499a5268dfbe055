// The main window: its controls, the Begin/Stop toggle with its checks and
// the poll timer. Its window procedure only hands each message to its handler.
#include "ui/form1.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <array>

#include "monitor/attach.h"
#include "monitor/tick.h"
#include "notify/alerts.h"
#include "notify/title.h"
#include "platform/owned.h"
#include "ui/control_ids.h"
#include "ui/form2.h"
#include "ui/layout.h"
#include "ui/texts.h"

namespace harkwell::ui::form1 {
namespace {

constexpr int kClientWidth = 4695;  // twips
constexpr int kClientHeight = 2400;
// The tray reports a single click (NIN_SELECT, 0x400) and a keyboard selection
// (NIN_KEYSELECT, 0x401) as presses at those x: beyond the client area's
// right edge at every scale up to 300 % (939 pixels; 470 at 150 %).
static_assert(kClientWidth * 3 / 15 < NIN_SELECT);
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

static_assert(kShowYourselfMessage == WM_APP + 1);

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kFrameSubclass = 1;
constexpr UINT kTimer1Interval = 250;  // ms

constexpr UINT kMessageStyle = MB_OK | MB_ICONERROR;

constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
// One line each: a label too narrow for its text clips it rather than hiding a second line.
constexpr DWORD kLabel = SS_LEFTNOWORDWRAP;

constexpr ControlSpec kFrameSettingsLayout{kFrameSettings, "Button", kSettingsCaption, BS_GROUPBOX, 120, 120,
                                           4455,           1575};

// Controls inside the group box; positions are still window-relative.
constexpr std::array kFrameControls{
    ControlSpec{kLabel1, "Static", kOnJoinCaption, kLabel, 360, 480, 615, 255},
    ControlSpec{kChkPlayJoin, "Button", kPlayCaption, kCheckBox, 360, 720, 615, 375},
    ControlSpec{kCmdSoundJoin, "Button", kSoundCaption, kButton, 975, 750, 750, 315},
    ControlSpec{kChkFlashJoin, "Button", kFlashCaption, kCheckBox, 360, 1200, 1695, 255},
    ControlSpec{kLabel2, "Static", kOnLeaveCaption, kLabel, 2520, 480, 855, 255},
    ControlSpec{kChkFlashLeave, "Button", kFlashCaption, kCheckBox, 2520, 1200, 1695, 255},
};

// The leave column's Play box and Sound... button belong to the window and lie
// over the group box; created before it, they sit above it in the z-order.
constexpr std::array kOverFrameControls{
    ControlSpec{kChkPlayLeave, "Button", kPlayCaption, kCheckBox, 2520, 720, 615, 375},
    ControlSpec{kCmdSoundLeave, "Button", kSoundCaption, kButton, 3135, 750, 750, 315},
};

constexpr std::array kWindowButtons{
    ControlSpec{kCmdExit, "Button", kExitCaption, kButton, 120, 1800, 855, 495},
    ControlSpec{kCmdAbout, "Button", kAboutCaption, kButton, 1080, 1800, 855, 495},
    ControlSpec{kCmdBegin, "Button", kBeginCaption, kButton, 2040, 1800, 2535, 495},
};

struct Form1State {
  platform::OwnedWindow window;
  platform::OwnedFont font;
  HWND frame = nullptr;
  HWND focusBeforeDeactivation = nullptr;
  bool timer1Enabled = false;  // the monitoring state
  bool notify = false;         // /notify
  int dpi = USER_DEFAULT_SCREEN_DPI;
};
Form1State state;

bool IsTicked(int id) { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::uint8_t CheckValue(int id) { return IsTicked(id) ? 1 : 0; }

void ShowFailure(const char* text) {
  // Only a Begin given on the command line can fail while the window is in
  // the tray: the box is to be seen in front of the window.
  if (!IsWindowVisible(state.window.get())) RestoreFromTray(state.window.get());
  MessageBoxA(state.window.get(), text, kApplicationTitle, kMessageStyle);
}

// The group box is the parent of most settings, but a button control neither
// passes its children's notifications on nor paints its inside; forward the
// one and fill the other.
LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_COMMAND:
      return SendMessageA(GetParent(frame), message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return FaceColoured(reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND: {
      RECT inside;
      GetClientRect(frame, &inside);
      FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(frame, FrameProc, kFrameSubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(frame, message, wParam, lParam);
}

void CreateControls(HWND form) {
  state.font = CreatePointFont("MS Sans Serif", 825, state.dpi);
  HFONT font = state.font.get();
  for (const ControlSpec& placement : kOverFrameControls) CreateControl(form, placement, state.dpi, font);
  state.frame = CreateControl(form, kFrameSettingsLayout, state.dpi, font);
  SetWindowLongPtrA(state.frame, GWL_EXSTYLE,
                    GetWindowLongPtrA(state.frame, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  SetWindowSubclass(state.frame, FrameProc, kFrameSubclass, 0);
  const POINT frameOrigin{TwipsToPixels(kFrameSettingsLayout.left, state.dpi),
                          TwipsToPixels(kFrameSettingsLayout.top, state.dpi)};
  for (const ControlSpec& placement : kFrameControls)
    CreateControl(state.frame, placement, state.dpi, font, frameOrigin);
  for (const ControlSpec& placement : kWindowButtons) CreateControl(form, placement, state.dpi, font);
  state.focusBeforeDeactivation = Control(kCmdBegin);
}

void StopMonitoring() {
  KillTimer(state.window.get(), kTimer1);
  state.timer1Enabled = false;
  DropAnnouncementRetry();
  Detach();
  SetWindowTextA(Control(kCmdBegin), kBeginCaption);
}

// Why attaching failed, in the user's words.
const char* NoGameText() {
  switch (WhyNotAttached()) {
    case AttachFailure::GameRunsAsAdministrator:
      return kGameAsAdministrator;
    case AttachFailure::GameRefusesAccess:
      return kGameNotReadable;
    case AttachFailure::NoGame:
      break;
  }
  return kNoGame;
}

void Timer1_Timer() {
  const unsigned announced = announcements.count;
  const TickOutcome outcome = MonitorTick();
  if (state.notify && announcements.count != announced)
    NotifyFromTray(state.window.get(), announcements.last);
  // A game whose process refuses us cannot be watched: monitoring stops, as
  // a Begin that met it would have, with the same message.
  if (outcome == TickOutcome::GameCannotBeOpened) {
    StopMonitoring();
    ShowFailure(NoGameText());
  }
}

// Begin Monitoring's checks and start. With `waitForGame`, no game running
// yet is no failure: the ticks look for one until it starts.
void BeginMonitoring(bool waitForGame) {
  const bool playJoin = IsTicked(kChkPlayJoin);
  const bool playLeave = IsTicked(kChkPlayLeave);
  if ((playJoin || playLeave) && platform::SoundDeviceCount() == 0) return ShowFailure(kNoSoundDevice);
  if (playJoin && alertSettings.joinSoundPath.empty()) return ShowFailure(kNoJoinSound);
  if (playLeave && alertSettings.leaveSoundPath.empty()) return ShowFailure(kNoLeaveSound);

  alertSettings.playJoin = CheckValue(kChkPlayJoin);
  alertSettings.playLeave = CheckValue(kChkPlayLeave);
  alertSettings.flashJoin = CheckValue(kChkFlashJoin);
  alertSettings.flashLeave = CheckValue(kChkFlashLeave);

  if (!Attach() && !(waitForGame && gameAttachment.gameProcessId == 0)) return ShowFailure(NoGameText());

  SetWindowTextA(Control(kCmdBegin), kStopCaption);
  SetTimer(state.window.get(), kTimer1, kTimer1Interval, nullptr);
  state.timer1Enabled = true;
}

void cmdBegin_Click() {
  if (state.timer1Enabled) return StopMonitoring();
  BeginMonitoring(false);
}

void cmdExit_Click() { SendMessageA(state.window.get(), WM_CLOSE, 0, 0); }

void cmdAbout_Click() { form2::Show(); }

void OnCommand(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  switch (LOWORD(wParam)) {
    case kCmdBegin:
      return cmdBegin_Click();
    case kCmdExit:
      return cmdExit_Click();
    case kCmdAbout:
      return cmdAbout_Click();
    case kCmdSoundJoin:
      return cmdSoundJoin_Click();
    case kCmdSoundLeave:
      return cmdSoundLeave_Click();
    default:
      return;  // Enter and Escape arrive as IDOK and IDCANCEL: no button answers them
  }
}

void OnActivate(HWND form, WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(form, focus)) state.focusBeforeDeactivation = focus;
  } else if (state.focusBeforeDeactivation != nullptr && !IsIconic(form)) {
    SetFocus(state.focusBeforeDeactivation);
  }
}

void OnMouseDown(HWND form, int button, WPARAM wParam, LPARAM lParam) {
  const int shift = ((wParam & MK_SHIFT) ? 1 : 0) | ((wParam & MK_CONTROL) ? 2 : 0);
  // The low 16 bits as they are: the tray's reports put a message number there.
  Form_MouseDown(form, button, shift, LOWORD(lParam), HIWORD(lParam));
}

void OnClose(HWND form) {
  Form_Unload(form);
  state.window.reset();
}

void OnNcDestroy(HWND form) {
  if (state.timer1Enabled) KillTimer(form, kTimer1);
  state.timer1Enabled = false;
  state.window.release();
}

LRESULT CALLBACK WindowProc(HWND form, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  switch (message) {
    case WM_CREATE:
      state.window.reset(form);  // the controls are looked up through it from here on
      CreateControls(form);
      // Run as administrator, Harkwell still hears a second start and a
      // restarted Explorer, which run with less privilege.
      for (const UINT allowed : {kShowYourselfMessage, taskbarCreated})
        ChangeWindowMessageFilterEx(form, allowed, MSGFLT_ALLOW, nullptr);
      return 0;
    case WM_COMMAND:
      OnCommand(wParam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return FaceColoured(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
      if (wParam == kTimer1) Timer1_Timer();
      return 0;
    case WM_SIZE:
      Form_Resize(form);
      return 0;
    case WM_LBUTTONDOWN:
      OnMouseDown(form, 1, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      OnMouseDown(form, 2, wParam, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      OnMouseDown(form, 4, wParam, lParam);
      return 0;
    case WM_ACTIVATE:
      OnActivate(form, wParam);
      return 0;
    case WM_NEXTDLGCTL:
      NextDialogControl(wParam, lParam);
      return 0;
    case DM_GETDEFID:
      return FocusedButtonId();
    case WM_CLOSE:
      OnClose(form);
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy(form);
      break;
    case kShowYourselfMessage:
      RestoreFromTray(form);
      return 0;
    default:
      if (message == taskbarCreated && taskbarCreated != 0) {
        TaskbarCreated(form);
        return 0;
      }
      break;
  }
  return DefWindowProcA(form, message, wParam, lParam);
}

}  // namespace

HWND Create(HINSTANCE instance, int dpi, bool minimised) {
  state.dpi = dpi;
  WNDCLASSEXA windowClass = WindowClass(instance, WindowProc, kForm1Class);
  // The class icons are shared resources: Windows keeps them for the process.
  windowClass.hIcon =
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kProgramIconId), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kProgramIconId), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (RegisterClassExA(&windowClass) == 0) return nullptr;

  const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, 0, dpi);
  return CreateWindowExA(0, kForm1Class, kApplicationTitle, kStyle | (minimised ? WS_MINIMIZE : 0),
                         CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
}

void ApplyStartOptions(const StartOptions& options, int showCommand) {
  HWND form = state.window.get();
  auto tick = [](int id) { SendMessageA(Control(id), BM_SETCHECK, BST_CHECKED, 0); };
  // A path given becomes the sound as a choice in the dialog would, with its
  // Play box ticked; the dialog's own file name stays as it is.
  if (options.joinSoundPath) {
    alertSettings.joinSoundPath = *options.joinSoundPath;
    tick(kChkPlayJoin);
  }
  if (options.leaveSoundPath) {
    alertSettings.leaveSoundPath = *options.leaveSoundPath;
    tick(kChkPlayLeave);
  }
  if (options.flashJoin) tick(kChkFlashJoin);
  if (options.flashLeave) tick(kChkFlashLeave);
  state.notify = options.notify;
  if (options.tray) {
    Form_Resize(form);  // created minimised and never shown: straight to the tray
  } else {
    ShowWindow(form, showCommand);
    UpdateWindow(form);
  }
  if (options.wait) {
    BeginMonitoring(true);
  } else if (options.begin) {
    OnCommand(MAKEWPARAM(kCmdBegin, BN_CLICKED));
  }
}

HWND Window() { return state.window.get(); }

HWND Control(int id) {
  HWND control = GetDlgItem(state.window.get(), id);
  return control != nullptr ? control : GetDlgItem(state.frame, id);
}

}  // namespace harkwell::ui::form1
