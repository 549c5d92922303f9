// The desktop shortcut on Windows: a shell link in the user's desktop folder.
#include <windows.h>
// After windows.h, which the shell's headers expect to come first.
#include <objbase.h>
#include <shlobj.h>

#include "app/AppPlatform.h"
#include "app/DesktopShortcut.h"
#include "base/Text.h"
#include "base/WinText.h"

namespace launcher {
namespace {

constexpr std::string_view kLinkExtension = ".lnk";

// COM on this thread for as long as a shortcut step runs. A thread that already has COM in the
// other kind of apartment keeps it; the shell link works in either.
class ComScope {
 public:
  ComScope()
      : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) {
      CoUninitialize();
    }
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// Owns one reference to a COM object.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (object_) {
      object_->Release();
    }
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return object_; }
  T* Get() const { return object_; }
  T** Out() { return &object_; }

 private:
  T* object_ = nullptr;
};

bool NewShellLink(ComRef<IShellLinkW>* link) {
  return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(link->Out())));
}

bool HasLinkExtension(std::string_view name) {
  if (name.size() <= kLinkExtension.size()) {
    return false;
  }
  return StartsWithNoCase(name.substr(name.size() - kLinkExtension.size()), kLinkExtension);
}

// Paths name the same file when they differ at most in letter case, as the file system compares.
bool SamePath(const std::string& a, const std::string& b) {
  const std::wstring wideA = Utf8ToWide(a);
  const std::wstring wideB = Utf8ToWide(b);
  return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                              static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

// The bytes of a shell link to executablePath that starts it in its own folder.
bool ShellLinkBytes(const std::string& executablePath, std::string* bytes) {
  ComRef<IShellLinkW> link;
  if (!NewShellLink(&link) || FAILED(link->SetPath(Utf8ToWide(executablePath).c_str()))) {
    return false;
  }
  // Started from the desktop, the program runs in its own folder, so that what it writes beside
  // itself (the files of an update) never lands on the desktop.
  const std::size_t slash = executablePath.find_last_of("\\/");
  if (slash != std::string::npos &&
      FAILED(link->SetWorkingDirectory(Utf8ToWide(executablePath.substr(0, slash)).c_str()))) {
    return false;
  }
  // Saved to memory and written by us: saving to a file would replace one of that name.
  ComRef<IPersistStream> persist;
  ComRef<IStream> stream;
  if (FAILED(link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(persist.Out()))) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) ||
      FAILED(persist->Save(stream.Get(), TRUE))) {
    return false;
  }
  STATSTG stat{};
  HGLOBAL memory = nullptr;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) ||
      FAILED(GetHGlobalFromStream(stream.Get(), &memory))) {
    return false;
  }
  const void* data = GlobalLock(memory);
  if (!data) {
    return false;
  }
  bytes->assign(static_cast<const char*>(data), static_cast<std::size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return !bytes->empty();
}

}  // namespace

std::optional<std::string> FindDesktopDirectory() {
  PWSTR path = nullptr;
  // Not verified or created here: a desktop that does not exist as a folder is no desktop.
  const HRESULT result =
      SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_DONT_VERIFY, nullptr, &path);
  std::string desktop = SUCCEEDED(result) && path ? WideToUtf8(path) : std::string();
  CoTaskMemFree(path);
  if (desktop.empty() || !IsDirectory(desktop)) {
    return std::nullopt;
  }
  return desktop;
}

std::optional<std::string> FindDataDirectory() { return std::nullopt; }

std::string ShortcutPathIn(const std::string& desktopDirectory, const std::string& name) {
  return desktopDirectory + "\\" + name + std::string(kLinkExtension);
}

bool GetShortcutTarget(const std::string& shortcutPath, std::string* target) {
  ComScope com;
  ComRef<IShellLinkW> link;
  ComRef<IPersistFile> file;
  if (!com.Usable() || !NewShellLink(&link) ||
      FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))) ||
      FAILED(file->Load(Utf8ToWide(shortcutPath).c_str(), STGM_READ))) {
    return false;
  }
  // The link's item list names the target in UTF-16; its plain path may hold only the ANSI code
  // page's characters (so written by some systems), so it serves only links without a list.
  std::wstring path(32768, L'\0');  // longer than any path the system can name
  PIDLIST_ABSOLUTE items = nullptr;
  const bool fromItems =
      SUCCEEDED(link->GetIDList(&items)) && items &&
      SHGetPathFromIDListEx(items, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  CoTaskMemFree(items);
  // S_FALSE: a link to something that is not a file (a folder of the shell).
  if (!fromItems && link->GetPath(path.data(), static_cast<int>(path.size()), nullptr, 0) != S_OK) {
    return false;
  }
  path.resize(std::char_traits<wchar_t>::length(path.c_str()));
  *target = WideToUtf8(path);
  return !target->empty();
}

bool ShortcutExists(const std::string& executablePath, const std::string& desktopDirectory) {
  ComScope com;  // once for the whole search rather than for each link
  int looked = 0;
  bool found = false;
  ForEachFolderEntry(desktopDirectory, [&](std::string_view name) {
    if (!HasLinkExtension(name)) {
      return true;
    }
    if (++looked > kMaxShortcutsScanned) {
      return false;
    }
    std::string target;
    found = GetShortcutTarget(desktopDirectory + "\\" + std::string(name), &target) &&
            SamePath(target, executablePath);
    return !found;
  });
  return found;
}

std::optional<std::string> CreateShortcut(const std::string& executablePath,
                                          const std::string& shortcutPath, const std::string&) {
  ComScope com;
  std::string bytes;
  if (!com.Usable() || !ShellLinkBytes(executablePath, &bytes)) {
    return std::nullopt;
  }
  for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    std::string path = NthFileName(shortcutPath, kLinkExtension, attempt);
    bool taken = false;
    if (WriteNewFile(path, bytes, 0644, &taken)) {
      // The shell learns of the new file at once rather than at its next look at the folder.
      SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, Utf8ToWide(path).c_str(), nullptr);
      return path;
    }
    if (!taken) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace launcher
