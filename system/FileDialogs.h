// What the disk family's selection dialogs need from the desktop, without knowing the toolkit.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruk {

// One entry of a file dialog's type list: what the user reads and the
// file-name patterns it stands for ("*.txt;*.log").
struct FileFilter {
    std::string description;
    std::string patterns;
};

struct FileDialogRequest {
    std::string title;
    std::string folder;             // the folder shown first; empty: the dialog's own choice
    // Nothing: the dialog keeps the type list it had the last time.
    std::optional<std::vector<FileFilter>> filters;
    std::string default_extension;  // added to a typed name without one
    std::string file_name;          // the name proposed
    bool several = false;           // open dialog: more than one file may be chosen
};

struct FolderDialogRequest {
    std::string prompt;
    std::string start_folder;       // selected when the dialog comes up
    bool show_files = false;        // list files too (they cannot be chosen)
    bool edit_box = false;          // the user may type a path
};

struct SavedFile {
    std::string path;
    int filter_index = 0;           // 1-based: the type chosen in the list
};

// The desktop's file and folder dialogs. Each call blocks until the user
// closes the dialog; paths come back absolute and in UTF-8. The open and the
// save dialog each remember their type list between calls.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen files; empty when cancelled.
    virtual std::vector<std::string> open(const FileDialogRequest& request) = 0;
    // Nothing when cancelled.
    virtual std::optional<SavedFile> save(const FileDialogRequest& request) = 0;
    // Nothing when cancelled.
    virtual std::optional<std::string> folder(const FolderDialogRequest& request) = 0;
};

// No desktop: every dialog answers as cancelled.
class NoFileDialogs : public FileDialogs {
public:
    std::vector<std::string> open(const FileDialogRequest&) override { return {}; }
    std::optional<SavedFile> save(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> folder(const FolderDialogRequest&) override { return std::nullopt; }
};

} // namespace ruk
