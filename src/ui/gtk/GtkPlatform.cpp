// The GTK backend: the window framework on GTK 3 and X11 (or XWayland), web views on
// WebKitGTK 4.1 loaded at run time. This file: starting the toolkit, the loops, posted work,
// message boxes and processes.
//
// Implements every duty of ui/backend/Backend.h:
// - process and loop (here), timers and the modal loop (GtkWindowing.cpp), the icon
//   (GtkAppIcon.cpp);
// - top-levels as undecorated GtkWindows painted by the framework through cairo and Pango
//   (GtkTopLevel.cpp, CairoCanvas.cpp): shapes, layered and colour-keyed content, pointer
//   grabs for move and size loops, full-screen state;
// - desktop services (GtkWindowing.cpp), pop-up menus (GtkMenu.cpp), the notification area
//   (GtkNotifyIcon.cpp), message boxes (here);
// - web views (GtkWebView.cpp, loaded by WebKitLoader.cpp).
// What it cannot:
// - minimise without a window manager (nothing happens then), nor announce the full-screen
//   state to anyone but a window manager; a window manager may also constrain a move or size,
//   and its rectangle then wins;
// - BrowserControl's Silent has no meaning: the engine raises no dialog for a page's script
//   errors in the first place;
// - a notification area exists only on X11 desktops with a tray (the XEmbed protocol);
// - per-pixel translucent (layered) windows need a compositor; without one they are shaped by
//   their alpha, faint pixels left out;
// - the work area and screen are the primary monitor's;
// - without the engine's library (kWebKitLibrary) pages keep their placeholder, and the player
//   is told once.
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>

#include "base/Text.h"
#include "ui/MessageBox.h"
#include "ui/Platform.h"
#include "ui/Window.h"
#include "ui/backend/Backend.h"
#include "ui/gtk/GtkAppIcon.h"
#include "ui/gtk/GtkTopLevel.h"

namespace ui {
namespace {

struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};

gboolean RunQueued(gpointer data) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(data));
  (*work)();
  return G_SOURCE_REMOVE;
}

}  // namespace

namespace backend {

bool InitPlatform() {
  // Our windows draw their own frames; the toolkit's client-side decorations stay off.
  g_setenv("GTK_CSD", "0", FALSE);
  if (!gtk_init_check(nullptr, nullptr)) {
    return false;
  }
  gtk::SetDefaultWindowIcon();
  return true;
}

void ProcessPending() {
  while (gtk_events_pending()) {
    gtk_main_iteration_do(FALSE);
  }
}

void RunMessageLoop() { gtk_main(); }

void QuitMessageLoop() { gtk_main_quit(); }

int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned style) {
  GtkMessageType type = GTK_MESSAGE_OTHER;
  switch (style & 0xF0) {
    case kMbIconError:
      type = GTK_MESSAGE_ERROR;
      break;
    case kMbIconQuestion:
      type = GTK_MESSAGE_QUESTION;
      break;
    case kMbIconWarning:
      type = GTK_MESSAGE_WARNING;
      break;
    case kMbIconInformation:
      type = GTK_MESSAGE_INFO;
      break;
    default:
      break;
  }
  // The owner's top-level, when it is on the screen to be centred over.
  Window* top = owner ? owner->GetTopLevel() : nullptr;
  if (top && (!top->IsWindowVisible() || top->IsIconic() || !WindowAccess::Native(*top))) {
    top = nullptr;
  }
  GtkWindow* parent =
      top ? static_cast<gtk::GtkTopLevel*>(WindowAccess::Native(*top))->Window() : nullptr;

  const std::string body(text);
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", body.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), std::string(caption).c_str());
  if (style & kMbSystemModal) {
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  }

  bool second = (style & kMbDefButton2) != 0;
  int cancelAnswer = kIdOk;
  switch (style & 0xF) {
    case kMbOkCancel:
      gtk_dialog_add_buttons(GTK_DIALOG(dialog), "确定", kIdOk, "取消", kIdCancel, nullptr);
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), second ? kIdCancel : kIdOk);
      cancelAnswer = kIdCancel;
      break;
    case kMbYesNo:
      gtk_dialog_add_buttons(GTK_DIALOG(dialog), "是", kIdYes, "否", kIdNo, nullptr);
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), second ? kIdNo : kIdYes);
      cancelAnswer = kIdNo;
      break;
    default:
      gtk_dialog_add_button(GTK_DIALOG(dialog), "确定", kIdOk);
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), kIdOk);
      break;
  }
  // The toolkit centres the box with the size it finally has, kept on the monitor.
  gtk_window_set_position(GTK_WINDOW(dialog),
                          parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  ProcessPending();
  if (response < 0) {
    return cancelAnswer;  // closed by the window control or Escape
  }
  return response;
}

bool StartProcess(std::string_view path) {
  if (path.empty()) {
    return false;
  }
  const std::string program(path);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program from an intermediate child that
  // it reaps at once, so the program is nobody's child here and leaves no zombie; a failed exec
  // still comes back as an error. Descriptors other than the standard three are not inherited.
  GError* error = nullptr;
  const bool started = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                                     nullptr, &error) != FALSE;
  g_clear_error(&error);
  return started;
}

void QueueOnUiThread(std::function<void()> work) {
  // g_idle_add is safe from any thread; the default main context runs it on the UI thread.
  // RunQueued takes the function back into an owner.
  auto queued = std::make_unique<std::function<void()>>(std::move(work));
  g_idle_add_full(G_PRIORITY_DEFAULT, RunQueued, queued.release(), nullptr);
}

}  // namespace backend
}  // namespace ui
