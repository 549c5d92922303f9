// The web engine's entry points, reached through a table filled when the engine's library is
// loaded at run time (WebKitLoader.h): the program does not link the engine, so that it starts
// after the toolkit's libraries alone and the engine's library and its many dependencies load on
// a second thread meanwhile.
//
// Files that call the engine include this header instead of <webkit2/webkit2.h>. Each entry point
// the backend uses is listed once below; the list turns each name into its slot of the table, so
// the calls read as ordinary calls. A call of an entry point missing from the list fails to link
// (the engine is not linked), which is how the list stays complete. Nothing here may be called
// before WebKitLoaded() has answered true on the UI thread.
#pragma once

#include <webkit2/webkit2.h>

#define LAUNCHER_WEBKIT_ENTRY_POINTS(X)                                     \
  X(jsc_value_get_context)                                                  \
  X(jsc_value_is_array)                                                     \
  X(jsc_value_is_boolean)                                                   \
  X(jsc_value_is_number)                                                    \
  X(jsc_value_is_object)                                                    \
  X(jsc_value_is_string)                                                    \
  X(jsc_value_new_boolean)                                                  \
  X(jsc_value_new_null)                                                     \
  X(jsc_value_new_number)                                                   \
  X(jsc_value_new_string)                                                   \
  X(jsc_value_new_undefined)                                                \
  X(jsc_value_object_get_property)                                          \
  X(jsc_value_object_get_property_at_index)                                 \
  X(jsc_value_to_boolean)                                                   \
  X(jsc_value_to_double)                                                    \
  X(jsc_value_to_int32)                                                     \
  X(jsc_value_to_string)                                                    \
  X(soup_message_headers_get_one)                                           \
  X(webkit_cookie_manager_set_persistent_storage)                           \
  X(webkit_download_cancel)                                                 \
  X(webkit_download_error_quark)                                            \
  X(webkit_feature_get_identifier)                                          \
  X(webkit_feature_list_get)                                                \
  X(webkit_feature_list_get_length)                                         \
  X(webkit_feature_list_unref)                                              \
  X(webkit_navigation_action_get_request)                                   \
  X(webkit_navigation_action_is_redirect)                                   \
  X(webkit_navigation_policy_decision_get_navigation_action)                \
  X(webkit_navigation_policy_decision_get_type)                             \
  X(webkit_network_error_quark)                                             \
  X(webkit_plugin_error_quark)                                              \
  X(webkit_policy_decision_get_type)                                        \
  X(webkit_policy_decision_ignore)                                          \
  X(webkit_policy_decision_use)                                             \
  X(webkit_policy_error_quark)                                              \
  X(webkit_script_message_reply_ref)                                        \
  X(webkit_script_message_reply_return_error_message)                       \
  X(webkit_script_message_reply_return_value)                               \
  X(webkit_script_message_reply_unref)                                      \
  X(webkit_settings_get_all_features)                                       \
  X(webkit_settings_new)                                                    \
  X(webkit_settings_set_feature_enabled)                                    \
  X(webkit_settings_set_hardware_acceleration_policy)                       \
  X(webkit_uri_request_get_http_headers)                                    \
  X(webkit_uri_request_get_uri)                                             \
  X(webkit_user_content_manager_add_script)                                 \
  X(webkit_user_content_manager_new)                                        \
  X(webkit_user_content_manager_register_script_message_handler_with_reply) \
  X(webkit_user_content_manager_remove_script)                              \
  X(webkit_user_content_manager_unregister_script_message_handler_in_world) \
  X(webkit_user_script_new)                                                 \
  X(webkit_user_script_new_for_world)                                       \
  X(webkit_user_script_unref)                                               \
  X(webkit_web_context_new_with_website_data_manager)                       \
  X(webkit_web_context_set_cache_model)                                     \
  X(webkit_web_context_set_sandbox_enabled)                                 \
  X(webkit_web_view_get_type)                                               \
  X(webkit_web_view_get_uri)                                                \
  X(webkit_web_view_load_alternate_html)                                    \
  X(webkit_web_view_load_uri)                                               \
  X(webkit_website_data_manager_clear)                                      \
  X(webkit_website_data_manager_clear_finish)                               \
  X(webkit_website_data_manager_get_cookie_manager)                         \
  X(webkit_website_data_manager_get_type)                                   \
  X(webkit_website_data_manager_new)

namespace ui::gtk {

struct WebKitEntryPoints {
// The argument is a declared name, which parentheses would not allow.
#define LAUNCHER_WEBKIT_SLOT(name) \
  decltype(&::name) name = nullptr;  // NOLINT(bugprone-macro-parentheses)
  LAUNCHER_WEBKIT_ENTRY_POINTS(LAUNCHER_WEBKIT_SLOT)
#undef LAUNCHER_WEBKIT_SLOT
};

// The table; every slot is filled once WebKitLoaded() has answered true.
const WebKitEntryPoints& WebKitTable();

}  // namespace ui::gtk

// From here on each listed name is its slot (a name in its own macro's expansion is not replaced
// again, so the slot keeps the name). The loader, which fills the slots by name, goes without.
#ifndef LAUNCHER_WEBKIT_LOADER
#define jsc_value_get_context (::ui::gtk::WebKitTable().jsc_value_get_context)
#define jsc_value_is_array (::ui::gtk::WebKitTable().jsc_value_is_array)
#define jsc_value_is_boolean (::ui::gtk::WebKitTable().jsc_value_is_boolean)
#define jsc_value_is_number (::ui::gtk::WebKitTable().jsc_value_is_number)
#define jsc_value_is_object (::ui::gtk::WebKitTable().jsc_value_is_object)
#define jsc_value_is_string (::ui::gtk::WebKitTable().jsc_value_is_string)
#define jsc_value_new_boolean (::ui::gtk::WebKitTable().jsc_value_new_boolean)
#define jsc_value_new_null (::ui::gtk::WebKitTable().jsc_value_new_null)
#define jsc_value_new_number (::ui::gtk::WebKitTable().jsc_value_new_number)
#define jsc_value_new_string (::ui::gtk::WebKitTable().jsc_value_new_string)
#define jsc_value_new_undefined (::ui::gtk::WebKitTable().jsc_value_new_undefined)
#define jsc_value_object_get_property (::ui::gtk::WebKitTable().jsc_value_object_get_property)
#define jsc_value_object_get_property_at_index \
  (::ui::gtk::WebKitTable().jsc_value_object_get_property_at_index)
#define jsc_value_to_boolean (::ui::gtk::WebKitTable().jsc_value_to_boolean)
#define jsc_value_to_double (::ui::gtk::WebKitTable().jsc_value_to_double)
#define jsc_value_to_int32 (::ui::gtk::WebKitTable().jsc_value_to_int32)
#define jsc_value_to_string (::ui::gtk::WebKitTable().jsc_value_to_string)
#define soup_message_headers_get_one (::ui::gtk::WebKitTable().soup_message_headers_get_one)
#define webkit_cookie_manager_set_persistent_storage \
  (::ui::gtk::WebKitTable().webkit_cookie_manager_set_persistent_storage)
#define webkit_download_cancel (::ui::gtk::WebKitTable().webkit_download_cancel)
#define webkit_download_error_quark (::ui::gtk::WebKitTable().webkit_download_error_quark)
#define webkit_feature_get_identifier (::ui::gtk::WebKitTable().webkit_feature_get_identifier)
#define webkit_feature_list_get (::ui::gtk::WebKitTable().webkit_feature_list_get)
#define webkit_feature_list_get_length (::ui::gtk::WebKitTable().webkit_feature_list_get_length)
#define webkit_feature_list_unref (::ui::gtk::WebKitTable().webkit_feature_list_unref)
#define webkit_navigation_action_get_request \
  (::ui::gtk::WebKitTable().webkit_navigation_action_get_request)
#define webkit_navigation_action_is_redirect \
  (::ui::gtk::WebKitTable().webkit_navigation_action_is_redirect)
#define webkit_navigation_policy_decision_get_navigation_action \
  (::ui::gtk::WebKitTable().webkit_navigation_policy_decision_get_navigation_action)
#define webkit_navigation_policy_decision_get_type \
  (::ui::gtk::WebKitTable().webkit_navigation_policy_decision_get_type)
#define webkit_network_error_quark (::ui::gtk::WebKitTable().webkit_network_error_quark)
#define webkit_plugin_error_quark (::ui::gtk::WebKitTable().webkit_plugin_error_quark)
#define webkit_policy_decision_get_type (::ui::gtk::WebKitTable().webkit_policy_decision_get_type)
#define webkit_policy_decision_ignore (::ui::gtk::WebKitTable().webkit_policy_decision_ignore)
#define webkit_policy_decision_use (::ui::gtk::WebKitTable().webkit_policy_decision_use)
#define webkit_policy_error_quark (::ui::gtk::WebKitTable().webkit_policy_error_quark)
#define webkit_script_message_reply_ref (::ui::gtk::WebKitTable().webkit_script_message_reply_ref)
#define webkit_script_message_reply_return_error_message \
  (::ui::gtk::WebKitTable().webkit_script_message_reply_return_error_message)
#define webkit_script_message_reply_return_value \
  (::ui::gtk::WebKitTable().webkit_script_message_reply_return_value)
#define webkit_script_message_reply_unref \
  (::ui::gtk::WebKitTable().webkit_script_message_reply_unref)
#define webkit_settings_get_all_features (::ui::gtk::WebKitTable().webkit_settings_get_all_features)
#define webkit_settings_new (::ui::gtk::WebKitTable().webkit_settings_new)
#define webkit_settings_set_feature_enabled \
  (::ui::gtk::WebKitTable().webkit_settings_set_feature_enabled)
#define webkit_settings_set_hardware_acceleration_policy \
  (::ui::gtk::WebKitTable().webkit_settings_set_hardware_acceleration_policy)
#define webkit_uri_request_get_http_headers \
  (::ui::gtk::WebKitTable().webkit_uri_request_get_http_headers)
#define webkit_uri_request_get_uri (::ui::gtk::WebKitTable().webkit_uri_request_get_uri)
#define webkit_user_content_manager_add_script \
  (::ui::gtk::WebKitTable().webkit_user_content_manager_add_script)
#define webkit_user_content_manager_new (::ui::gtk::WebKitTable().webkit_user_content_manager_new)
#define webkit_user_content_manager_register_script_message_handler_with_reply \
  (::ui::gtk::WebKitTable().webkit_user_content_manager_register_script_message_handler_with_reply)
#define webkit_user_content_manager_remove_script \
  (::ui::gtk::WebKitTable().webkit_user_content_manager_remove_script)
#define webkit_user_content_manager_unregister_script_message_handler_in_world \
  (::ui::gtk::WebKitTable().webkit_user_content_manager_unregister_script_message_handler_in_world)
#define webkit_user_script_new (::ui::gtk::WebKitTable().webkit_user_script_new)
#define webkit_user_script_new_for_world (::ui::gtk::WebKitTable().webkit_user_script_new_for_world)
#define webkit_user_script_unref (::ui::gtk::WebKitTable().webkit_user_script_unref)
#define webkit_web_context_new_with_website_data_manager \
  (::ui::gtk::WebKitTable().webkit_web_context_new_with_website_data_manager)
#define webkit_web_context_set_cache_model \
  (::ui::gtk::WebKitTable().webkit_web_context_set_cache_model)
#define webkit_web_context_set_sandbox_enabled \
  (::ui::gtk::WebKitTable().webkit_web_context_set_sandbox_enabled)
#define webkit_web_view_get_type (::ui::gtk::WebKitTable().webkit_web_view_get_type)
#define webkit_web_view_get_uri (::ui::gtk::WebKitTable().webkit_web_view_get_uri)
#define webkit_web_view_load_alternate_html \
  (::ui::gtk::WebKitTable().webkit_web_view_load_alternate_html)
#define webkit_web_view_load_uri (::ui::gtk::WebKitTable().webkit_web_view_load_uri)
#define webkit_website_data_manager_clear \
  (::ui::gtk::WebKitTable().webkit_website_data_manager_clear)
#define webkit_website_data_manager_clear_finish \
  (::ui::gtk::WebKitTable().webkit_website_data_manager_clear_finish)
#define webkit_website_data_manager_get_cookie_manager \
  (::ui::gtk::WebKitTable().webkit_website_data_manager_get_cookie_manager)
#define webkit_website_data_manager_get_type \
  (::ui::gtk::WebKitTable().webkit_website_data_manager_get_type)
#define webkit_website_data_manager_new (::ui::gtk::WebKitTable().webkit_website_data_manager_new)
#endif  // LAUNCHER_WEBKIT_LOADER
