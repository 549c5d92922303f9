// The Windows tests' eyes inside the Wine prefix: what the X server cannot tell (a box's text,
// a control's class, which X window a Windows window is), printed as UTF-8 lines.
//   WindowProbe windows       every visible top-level window, then its visible children:
//                             "top HWND XID CLASS X Y W H EXSTYLE CAPTION", "child HWND ... TEXT"
//                             (screen coordinates; XID is the X window, 0 for a child)
//   WindowProbe box TEXT CAPTION   a message box (OK and Cancel); prints the answer's number
//   WindowProbe tray TIP      a notification icon with that tip until the process is ended
//   WindowProbe end IMAGE     ends every process of this prefix whose file name is IMAGE
#include <windows.h>

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <tlhelp32.h>

static void Print(const wchar_t* text) {
  char utf8[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
  DWORD written = 0;
  if (n > 1) {
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8, (DWORD)(n - 1), &written, NULL);
  }
}

static void PrintWindowLine(HWND hwnd, const wchar_t* kind) {
  wchar_t cls[128] = L"";
  wchar_t text[1024] = L"";
  wchar_t line[1400];
  RECT r;
  GetClassNameW(hwnd, cls, 128);
  GetWindowTextW(hwnd, text, 1024);
  GetWindowRect(hwnd, &r);
  // Wine keeps the X window of a top-level window in this property.
  ULONG_PTR xid = (ULONG_PTR)GetPropA(hwnd, "__wine_x11_whole_window");
  for (wchar_t* c = text; *c; ++c) {
    if (*c == L'\n' || *c == L'\r' || *c == L'\t') {
      *c = L' ';
    }
  }
  _snwprintf(line, 1400, L"%ls\t%llu\t%llu\t%ls\t%ld\t%ld\t%ld\t%ld\t%08lx\t%ls\n", kind,
             (unsigned long long)(ULONG_PTR)hwnd, (unsigned long long)xid, cls, r.left, r.top,
             r.right - r.left, r.bottom - r.top, (unsigned long)GetWindowLongW(hwnd, GWL_EXSTYLE),
             text);
  line[1399] = 0;
  Print(line);
}

static BOOL CALLBACK OnChild(HWND hwnd, LPARAM unused) {
  (void)unused;
  if (IsWindowVisible(hwnd)) {
    PrintWindowLine(hwnd, L"child");
  }
  return TRUE;
}

static BOOL CALLBACK OnTop(HWND hwnd, LPARAM unused) {
  (void)unused;
  if (IsWindowVisible(hwnd)) {
    PrintWindowLine(hwnd, L"top");
    EnumChildWindows(hwnd, OnChild, 0);
  }
  return TRUE;
}

static LRESULT CALLBACK TrayProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcW(hwnd, message, w, l);
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && wcscmp(argv[1], L"windows") == 0) {
    EnumWindows(OnTop, 0);
    return 0;
  }
  if (argc == 4 && wcscmp(argv[1], L"box") == 0) {
    wchar_t answer[16];
    _snwprintf(answer, 16, L"%d\n", MessageBoxW(NULL, argv[2], argv[3], MB_OKCANCEL));
    answer[15] = 0;
    Print(answer);
    return 0;
  }
  if (argc == 3 && wcscmp(argv[1], L"tray") == 0) {
    WNDCLASSW wc = {0};
    wc.lpfnWndProc = TrayProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"WindowProbeTray";
    RegisterClassW(&wc);
    HWND owner =
        CreateWindowW(L"WindowProbeTray", L"", 0, 0, 0, 0, 0, NULL, NULL, wc.hInstance, NULL);
    NOTIFYICONDATAW icon = {0};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION);
    lstrcpynW(icon.szTip, argv[2], 128);
    if (!Shell_NotifyIconW(NIM_ADD, &icon)) {
      return 1;
    }
    Print(L"added\n");
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
      DispatchMessageW(&msg);
    }
    return 0;
  }
  if (argc == 3 && wcscmp(argv[1], L"end") == 0) {
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(all, &entry); more; more = Process32NextW(all, &entry)) {
      if (lstrcmpiW(entry.szExeFile, argv[2]) == 0) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process) {
          TerminateProcess(process, 1);
          CloseHandle(process);
        }
      }
    }
    CloseHandle(all);
    return 0;
  }
  Print(L"usage: WindowProbe windows | box TEXT CAPTION | tray TIP | end IMAGE\n");
  return 2;
}
