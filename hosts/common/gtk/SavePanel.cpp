#include "hosts/common/gtk/SavePanel.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/view/Alert.h"

#include <filesystem>

namespace hosts {

namespace {

struct SaveSheet {
    kit::GRefPtr<GtkFileChooserNative> chooser;
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
    alert.setMessageText("\u201C" + std::filesystem::path(path).filename().string()
        + "\u201D already exists. Do you want to replace it?");
    alert.setInformativeText(
        "A file with the same name already exists in that folder. Replacing it will overwrite its contents.");
    alert.addButtonWithTitle("Replace");
    alert.addButtonWithTitle("Cancel");
    return alert.runModal() == kit::Alert::FirstButtonReturn;
}

void sheetDidEnd(GtkNativeDialog*, int response, SaveSheet* sheet)
{
    std::string path;
    if (response == GTK_RESPONSE_ACCEPT) {
        std::string chosen;
        if (auto file = kit::adoptGRef(gtk_file_chooser_get_file(GTK_FILE_CHOOSER(sheet->chooser.get())))) {
            if (char* local = g_file_get_path(file.get())) {
                chosen = local;
                g_free(local);
            }
        }
        path = pathWithRequiredExtension(chosen, sheet->extension);
        if (!chosen.empty() && path != chosen && !mayReplace(path))
            path.clear();
    }
    // The chooser goes once its own signal has returned.
    gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(sheet->chooser.get()));
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, sheet->chooser.leakRef(),
        g_object_unref);
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

void beginSavePanelSheet(
    GtkWindow* parent, const kit::SavePanelOptions& options, std::function<void(int returnCode, std::string path)> done)
{
    auto* sheet = new SaveSheet;
    sheet->extension = options.requiredExtension;
    sheet->done = std::move(done);
    sheet->chooser = kit::adoptGRef(
        gtk_file_chooser_native_new("Save a Copy", parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", "_Cancel"));
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(sheet->chooser.get());
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(sheet->chooser.get()), TRUE);
    const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    if (!folder || !g_file_test(folder, G_FILE_TEST_IS_DIR))
        folder = g_get_home_dir();
    if (auto start = kit::adoptGRef(g_file_new_for_path(folder))) {
        gtk_file_chooser_set_current_folder(chooser, start.get(), nullptr);
    }
    gtk_file_chooser_set_current_name(chooser, options.suggestedName.c_str());
    if (!options.requiredExtension.empty()) {
        auto typed = kit::adoptGRef(gtk_file_filter_new());
        std::string upper = options.requiredExtension;
        for (char& c : upper)
            c = char(g_ascii_toupper(c));
        gtk_file_filter_set_name(typed.get(), (upper + " documents").c_str());
        gtk_file_filter_add_suffix(typed.get(), options.requiredExtension.c_str());
        gtk_file_chooser_add_filter(chooser, typed.get());
        auto all = kit::adoptGRef(gtk_file_filter_new());
        gtk_file_filter_set_name(all.get(), "All files");
        gtk_file_filter_add_pattern(all.get(), "*");
        gtk_file_chooser_add_filter(chooser, all.get());
        gtk_file_chooser_set_filter(chooser, typed.get());
    }
    g_signal_connect(sheet->chooser.get(), "response", G_CALLBACK(sheetDidEnd), sheet);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(sheet->chooser.get()));
}

} // namespace hosts
