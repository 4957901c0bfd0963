// The disk family's "dialogbox" commands: file, multi-file and folder selection.
#include "system/DialogBox.h"

#include "core/Engine.h"
#include "system/Disk.h"

#include <unistd.h>

namespace ruk {

namespace {

// Results longer than this are cut: scripts have always had at most this much.
constexpr size_t MaxDialogResult = 255999;

// The process's current folder, put back when the object goes: a dialog may
// move it, and scripts rely on the working folder being current.
class KeepCurrentFolder {
public:
    KeepCurrentFolder()
    {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer))
            m_folder = buffer;
    }
    ~KeepCurrentFolder()
    {
        if (!m_folder.empty() && ::chdir(m_folder.c_str()) != 0) {
            // The folder went away while the dialog was up; nothing to return to.
        }
    }
    KeepCurrentFolder(const KeepCurrentFolder&) = delete;
    KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;

private:
    std::string m_folder;
};

std::string script_folder(const std::string& text)
{
    return text.empty() ? std::string() : disk::resolve_path(text).value_or(text);
}

} // namespace

std::optional<std::vector<FileFilter>> filters_from_elements(const std::vector<std::string>& elements)
{
    if (elements.size() < 2)
        return std::nullopt;
    std::vector<FileFilter> filters;
    for (size_t i = 0; i + 1 < elements.size(); i += 2)
        filters.push_back({elements[i], elements[i + 1]});
    return filters;
}

Result DialogBox::handle(Engine& e)
{
    const std::string& which = e.word(2);
    if (which == "folder")
        return folder(e);
    if (which == "open")
        return open(e);
    if (which == "save") {
        if (e.word(3) == "getfilter")
            return int_to_text(m_last_save_filter);
        return save(e);
    }
    return e.call_function();
}

// Parameters 1 to 5 of the open and save dialogs: title, folder, the name of
// the filter variable, default extension, file name.
FileDialogRequest DialogBox::file_request(Engine& e) const
{
    FileDialogRequest request;
    request.title = e.param(1);
    request.folder = script_folder(e.param(2));
    const int32_t number = e.vars().find(e.param(3));
    if (number >= 0)
        request.filters = filters_from_elements(e.vars().at(number).elements);
    request.default_extension = e.param(4);
    request.file_name = e.param(5);
    return request;
}

Result DialogBox::open(Engine& e)
{
    FileDialogRequest request = file_request(e);
    request.several = starts_with_1(e.param(6));
    std::vector<std::string> chosen;
    {
        KeepCurrentFolder keep;
        e.host().clear_drag_state();
        chosen = m_dialogs.open(request);
    }
    std::string result;
    for (const std::string& path : chosen) {
        if (!result.empty())
            result += ListSeparator;
        result += path;
    }
    if (result.size() > MaxDialogResult)
        result.resize(MaxDialogResult);
    return result;
}

Result DialogBox::save(Engine& e)
{
    FileDialogRequest request = file_request(e);
    std::optional<SavedFile> chosen;
    {
        KeepCurrentFolder keep;
        e.host().clear_drag_state();
        chosen = m_dialogs.save(request);
    }
    if (!chosen)
        return std::string();
    m_last_save_filter = chosen->filter_index;
    return chosen->path;
}

// Parameter 1 (the owner window) and 3 (the dialog's style) change nothing
// here: every dialog stays above the script windows and looks the same.
Result DialogBox::folder(Engine& e)
{
    FolderDialogRequest request;
    request.prompt = e.param(2);
    request.start_folder = script_folder(e.param(4));
    request.show_files = starts_with_1(e.param(5));
    request.edit_box = starts_with_1(e.param(6));
    std::optional<std::string> chosen;
    {
        KeepCurrentFolder keep;
        e.host().clear_drag_state();
        chosen = m_dialogs.folder(request);
    }
    return chosen.value_or(std::string());
}

} // namespace ruk
