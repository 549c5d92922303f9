/* The least a program showing a page with WebKitGTK does: the toolkit, one window holding one web
 * view with the launcher's engine settings (confined web process, no OpenGL compositing), the
 * page. Timed beside the launcher by the page-speed bench: the part of the launcher's figures
 * that no launcher built on this engine can go below.
 *   bare_engine URL WIDTH HEIGHT */
#include <stdlib.h>
#include <webkit2/webkit2.h>

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  gtk_init(&argc, &argv);
  WebKitWebContext* context = webkit_web_context_new();
  webkit_web_context_set_sandbox_enabled(context, TRUE);
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  WebKitSettings* settings = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), atoi(argv[2]), atoi(argv[3]));
  GtkWidget* view =
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, NULL);
  gtk_container_add(GTK_CONTAINER(window), view);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  gtk_main();
  return 0;
}
