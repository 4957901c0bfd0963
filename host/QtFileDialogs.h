// The file, multi-file and folder selection dialogs for scripts, on QFileDialog.
#pragma once

#include "system/FileDialogs.h"

#include <memory>

class QFileDialog;

namespace ruk {

// One open and one save dialog live from their first use to the engine's
// end, so that each keeps its type list when a script gives none. Every
// dialog is Qt's own (never a desktop portal), modal and above the script
// windows. Multi-file selection takes the names typed in the name box as
// "a.txt" "b.txt", as Qt's dialog does.
class QtFileDialogs : public FileDialogs {
public:
    QtFileDialogs();
    ~QtFileDialogs() override;

    std::vector<std::string> open(const FileDialogRequest& request) override;
    std::optional<SavedFile> save(const FileDialogRequest& request) override;
    std::optional<std::string> folder(const FolderDialogRequest& request) override;

private:
    std::unique_ptr<QFileDialog> m_open;
    std::unique_ptr<QFileDialog> m_save;
};

} // namespace ruk
