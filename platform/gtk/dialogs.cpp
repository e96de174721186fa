// GTK side of the open-file dialog and the message box, run in the shared
// modal loop. The program's own texts are Shift_JIS bytes, shown in UTF-8;
// paths are the file system's bytes, as GTK hands them out.
#include <cstring>
#include <string>

#include "platform/gtk/gtk_internal.h"

namespace {

// The filter list's pairs of shown name and patterns (separated by ';'),
// the `selected`-th (counting from 1; 0 is the first) chosen. Windows'
// "*.*" matches every name, with or without a dot, as GTK's "*" does.
void AddFilters(GtkFileChooser* chooser, const char* list, DWORD selected) {
    const std::vector<std::string> strings = winmodel::FilterStrings(list);
    for (std::size_t pair = 0; pair + 1 < strings.size(); pair += 2) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gchar* name = gtkside::ProgramText(strings[pair].c_str());
        gtk_file_filter_set_name(filter, name);
        g_free(name);
        gchar** each = g_strsplit(strings[pair + 1].c_str(), ";", -1);
        for (gchar** pattern = each; *pattern != nullptr; ++pattern) {
            gtk_file_filter_add_pattern(filter, std::strcmp(*pattern, "*.*") == 0 ? "*" : *pattern);
        }
        g_strfreev(each);
        gtk_file_chooser_add_filter(chooser, filter);  // the chooser takes the filter
        if (pair / 2 + 1 == (selected == 0 ? 1 : selected)) {
            gtk_file_chooser_set_filter(chooser, filter);
        }
    }
}

// The dialog opens on the current file, or on its folder if the file is gone.
void StartFrom(GtkFileChooser* chooser, const char* file) {
    gchar* absolute = g_canonicalize_filename(file, nullptr);
    gchar* folder = g_path_get_dirname(absolute);
    if (g_file_test(absolute, G_FILE_TEST_IS_REGULAR)) {
        gtk_file_chooser_set_filename(chooser, absolute);
    } else if (g_file_test(folder, G_FILE_TEST_IS_DIR)) {
        gtk_file_chooser_set_current_folder(chooser, folder);
    }
    g_free(folder);
    g_free(absolute);
}

struct Answer {
    bool done = false;
    int response = GTK_RESPONSE_NONE;
};

void OnResponse(gpointer, int response, gpointer data) { *static_cast<Answer*>(data) = Answer{true, response}; }

}  // namespace

namespace gtkside {

// Code page 932 is Windows' Shift_JIS; a C library without it gets plain
// Shift_JIS, and a text that is neither is shown as far as it is valid.
gchar* ProgramText(const char* text) {
    if (text == nullptr) {
        return g_strdup("");
    }
    gchar* shown = g_convert(text, -1, "UTF-8", "CP932", nullptr, nullptr, nullptr);
    shown = shown != nullptr ? shown : g_convert(text, -1, "UTF-8", "SHIFT_JIS", nullptr, nullptr, nullptr);
    return shown != nullptr ? shown : g_utf8_make_valid(text, -1);
}

}  // namespace gtkside

namespace winmodel::backend {

bool RunOpenDialog(const OPENFILENAMEA& request, std::string* path) {
    gchar* title = gtkside::ProgramText(request.lpstrTitle);
    GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
        title, gtkside::OwnerWidget(request.hwndOwner), GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    g_free(title);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    AddFilters(chooser, request.lpstrFilter, request.nFilterIndex);
    if (request.lpstrFile != nullptr) {
        StartFrom(chooser, request.lpstrFile);
    }
    Answer answer;
    g_signal_connect(dialog, "response", G_CALLBACK(OnResponse), &answer);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
    RunModal(&answer.done);
    gchar* chosen = answer.response == GTK_RESPONSE_ACCEPT ? gtk_file_chooser_get_filename(chooser) : nullptr;
    const bool confirmed = chosen != nullptr && chosen[0] != '\0';
    *path = confirmed ? chosen : "";
    g_free(chosen);
    g_object_unref(dialog);
    return confirmed;
}

// The program asks for one OK button and no icon, which is all this shows.
void RunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT) {
    gchar* body = gtkside::ProgramText(text);
    gchar* title = gtkside::ProgramText(caption);
    const auto flags = static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT);
    GtkWidget* box =
        gtk_message_dialog_new(gtkside::OwnerWidget(owner), flags, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", body);
    gtk_window_set_title(GTK_WINDOW(box), title);
    g_free(body);
    g_free(title);
    // A box closed by the window manager answers too (GTK_RESPONSE_DELETE_EVENT)
    // and is only hidden, so that it is destroyed here, once.
    Answer answer;
    g_signal_connect(box, "response", G_CALLBACK(OnResponse), &answer);
    g_signal_connect(box, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
    gtk_widget_show(box);
    RunModal(&answer.done);
    gtk_widget_destroy(box);
}

}  // namespace winmodel::backend
