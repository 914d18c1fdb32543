#include "hosts/common/gtk/SavePanel.h"

#include "kit/view/Alert.h"

#include <filesystem>

namespace hosts {

namespace {

struct SaveSheet {
    GtkFileChooserNative* chooser = nullptr;
    std::string extension;
    std::function<void(int, std::string)> done;
};

std::string lowercase(std::string text)
{
    for (char& c : text)
        c = char(g_ascii_tolower(c));
    return text;
}

// True when the user agrees to replace the file at path (or there is none).
bool mayReplace(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return true;
    kit::Alert alert;
    alert.setMessageText("\u201C" + std::filesystem::path(path).filename().string() + "\u201D already exists. Do you want to replace it?");
    alert.setInformativeText("A file with the same name already exists in that folder. Replacing it will overwrite its contents.");
    alert.addButtonWithTitle("Replace");
    alert.addButtonWithTitle("Cancel");
    return alert.runModal() == kit::Alert::FirstButtonReturn;
}

void sheetDidEnd(GtkNativeDialog*, int response, SaveSheet* sheet)
{
    std::string path;
    if (response == GTK_RESPONSE_ACCEPT) {
        std::string chosen;
        if (GFile* file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(sheet->chooser))) {
            if (char* local = g_file_get_path(file)) {
                chosen = local;
                g_free(local);
            }
            g_object_unref(file);
        }
        path = pathWithRequiredExtension(chosen, sheet->extension);
        if (!chosen.empty() && path != chosen && !mayReplace(path))
            path.clear();
    }
    // The chooser goes once its own signal has returned.
    gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(sheet->chooser));
    g_idle_add_once([](gpointer chooser) { g_object_unref(chooser); }, sheet->chooser);
    auto done = std::move(sheet->done);
    delete sheet;
    if (done) {
        if (path.empty())
            done(kit::SavePanelCancelButton, std::string());
        else
            done(kit::SavePanelOKButton, path);
    }
}

} // namespace

std::string pathWithRequiredExtension(const std::string& path, const std::string& extension)
{
    if (extension.empty())
        return path;
    std::string suffix = "." + extension;
    if (path.size() > suffix.size() && lowercase(path.substr(path.size() - suffix.size())) == lowercase(suffix))
        return path;
    return path + suffix;
}

void beginSavePanelSheet(GtkWindow* parent, const kit::SavePanelOptions& options,
    std::function<void(int returnCode, std::string path)> done)
{
    auto* sheet = new SaveSheet;
    sheet->extension = options.requiredExtension;
    sheet->done = std::move(done);
    sheet->chooser = gtk_file_chooser_native_new("Save a Copy", parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", "_Cancel");
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(sheet->chooser);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(sheet->chooser), TRUE);
    const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    if (!folder || !g_file_test(folder, G_FILE_TEST_IS_DIR))
        folder = g_get_home_dir();
    if (GFile* start = g_file_new_for_path(folder)) {
        gtk_file_chooser_set_current_folder(chooser, start, nullptr);
        g_object_unref(start);
    }
    gtk_file_chooser_set_current_name(chooser, options.suggestedName.c_str());
    if (!options.requiredExtension.empty()) {
        GtkFileFilter* typed = gtk_file_filter_new();
        std::string upper = options.requiredExtension;
        for (char& c : upper)
            c = char(g_ascii_toupper(c));
        gtk_file_filter_set_name(typed, (upper + " documents").c_str());
        gtk_file_filter_add_suffix(typed, options.requiredExtension.c_str());
        gtk_file_chooser_add_filter(chooser, typed);
        GtkFileFilter* all = gtk_file_filter_new();
        gtk_file_filter_set_name(all, "All files");
        gtk_file_filter_add_pattern(all, "*");
        gtk_file_chooser_add_filter(chooser, all);
        gtk_file_chooser_set_filter(chooser, typed);
        g_object_unref(typed);
        g_object_unref(all);
    }
    g_signal_connect(sheet->chooser, "response", G_CALLBACK(sheetDidEnd), sheet);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(sheet->chooser));
}

} // namespace hosts
