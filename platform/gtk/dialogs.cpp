// GTK side of the open-file dialog and the message box. The program's own
// texts (titles, the message, filter names) are Shift_JIS bytes and are shown
// in UTF-8; paths are the file system's bytes, as GTK hands them out.
//
// Both run a nested main loop until the dialog answers, as the Windows calls
// run a modal one: GTK's sources keep firing inside it, so the handlers keep
// filling the program's queue, and the program's own loop, and with it every
// step, waits until the dialog is done. What the handlers queued meanwhile (a
// close of the main window, say) is then taken in order. Paints that fall due
// meanwhile go to the window procedure, as the modal loop on Windows
// dispatches them: a window shown just before the message box (at start-up,
// with no picture) shows its background behind it, not nothing.
#include <cstring>
#include <string>

#include "platform/gtk/gtk_internal.h"

namespace {

// One of the program's texts in UTF-8, for g_free. Code page 932 is Windows'
// Shift_JIS; a C library without it gets plain Shift_JIS, and a text that is
// neither is shown as far as it is valid.
gchar* ProgramText(const char* text) {
    if (text == nullptr) {
        return g_strdup("");
    }
    gchar* shown = g_convert(text, -1, "UTF-8", "CP932", nullptr, nullptr, nullptr);
    if (shown == nullptr) {
        shown = g_convert(text, -1, "UTF-8", "SHIFT_JIS", nullptr, nullptr, nullptr);
    }
    return shown != nullptr ? shown : g_utf8_make_valid(text, -1);
}

// The filter list's pairs of shown name and patterns (separated by ';'),
// the `selected`-th (counting from 1; 0 is the first) chosen. Windows'
// "*.*" matches every name, with or without a dot, as GTK's "*" does.
void AddFilters(GtkFileChooser* chooser, const char* list, DWORD selected) {
    for (DWORD pair = 1; list != nullptr && list[0] != '\0'; ++pair) {
        const char* patterns = list + std::strlen(list) + 1;
        if (patterns[0] == '\0') {
            break;
        }
        GtkFileFilter* filter = gtk_file_filter_new();
        gchar* name = ProgramText(list);
        gtk_file_filter_set_name(filter, name);
        g_free(name);
        gchar** each = g_strsplit(patterns, ";", -1);
        for (gchar** pattern = each; *pattern != nullptr; ++pattern) {
            gtk_file_filter_add_pattern(filter, std::strcmp(*pattern, "*.*") == 0 ? "*" : *pattern);
        }
        g_strfreev(each);
        gtk_file_chooser_add_filter(chooser, filter);  // the chooser takes the filter
        if (pair == (selected == 0 ? 1 : selected)) {
            gtk_file_chooser_set_filter(chooser, filter);
        }
        list = patterns + std::strlen(patterns) + 1;
    }
}

// The dialog opens on the current file, or on its folder if the file is gone.
void StartFrom(GtkFileChooser* chooser, const char* file) {
    gchar* absolute = g_canonicalize_filename(file, nullptr);
    if (g_file_test(absolute, G_FILE_TEST_IS_REGULAR)) {
        gtk_file_chooser_set_filename(chooser, absolute);
    } else {
        gchar* folder = g_path_get_dirname(absolute);
        if (g_file_test(folder, G_FILE_TEST_IS_DIR)) {
            gtk_file_chooser_set_current_folder(chooser, folder);
        }
        g_free(folder);
    }
    g_free(absolute);
}

// Records a dialog's answer and ends its modal loop.
struct Answer {
    bool done = false;
    int response = GTK_RESPONSE_NONE;
};

void OnResponse(gpointer, int response, gpointer data) {
    auto* answer = static_cast<Answer*>(data);
    answer->response = response;
    answer->done = true;
}

}  // namespace

namespace platform {

// A chosen path goes into the caller's buffer with its NUL; one that does not
// fit is not taken, and the buffer keeps what it had, as after a cancel.
BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
    if (request == nullptr || request->lpstrFile == nullptr || request->nMaxFile == 0) {
        return FALSE;
    }
    gchar* title = ProgramText(request->lpstrTitle);
    GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
        title, gtkside::OwnerWidget(request->hwndOwner), GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    g_free(title);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    AddFilters(chooser, request->lpstrFilter, request->nFilterIndex);
    StartFrom(chooser, request->lpstrFile);
    BOOL chosen = FALSE;
    Answer answer;
    g_signal_connect(dialog, "response", G_CALLBACK(OnResponse), &answer);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
    gtkside::RunModal(&answer.done);
    if (answer.response == GTK_RESPONSE_ACCEPT) {
        gchar* path = gtk_file_chooser_get_filename(chooser);
        const std::size_t length = path != nullptr ? std::strlen(path) : 0;
        if (length > 0 && length < request->nMaxFile) {
            std::memcpy(request->lpstrFile, path, length + 1);
            const char* name = std::strrchr(path, '/');
            const std::size_t nameStart = name != nullptr ? static_cast<std::size_t>(name - path) + 1 : 0;
            const char* dot = std::strrchr(path + nameStart, '.');
            request->nFileOffset = static_cast<WORD>(nameStart);
            request->nFileExtension = static_cast<WORD>(dot != nullptr ? dot - path + 1 : length);
            chosen = TRUE;
        }
        g_free(path);
    }
    g_object_unref(dialog);
    return chosen;
}

// The program asks for one OK button and no icon, which is all this shows.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT) {
    gchar* body = ProgramText(text);
    gchar* title = ProgramText(caption);
    GtkWidget* box = gtk_message_dialog_new(gtkside::OwnerWidget(owner),
                                            static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                            GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", body);
    gtk_window_set_title(GTK_WINDOW(box), title);
    g_free(body);
    g_free(title);
    // A box closed by the window manager answers too (GTK_RESPONSE_DELETE_EVENT)
    // and is only hidden, so that it is destroyed here, once.
    Answer answer;
    g_signal_connect(box, "response", G_CALLBACK(OnResponse), &answer);
    g_signal_connect(box, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
    gtk_widget_show(box);
    gtkside::RunModal(&answer.done);
    gtk_widget_destroy(box);
    return IDOK;
}

}  // namespace platform
