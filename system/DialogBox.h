// The disk family's "dialogbox" commands: file, multi-file and folder selection.
#pragma once

#include "system/FileDialogs.h"

#include "core/Text.h"

#include <optional>
#include <string>
#include <vector>

namespace ruk {

class Engine;

// A dialog's type list from the elements of a filter variable: element 0
// and 1 are the first description and its patterns, 2 and 3 the next pair,
// and so on; an unpaired last element is ignored. Fewer than two elements
// give nothing (the dialog keeps the list it had).
std::optional<std::vector<FileFilter>> filters_from_elements(const std::vector<std::string>& elements);

// Binds "disk.dialogbox.*" to the desktop's dialogs and keeps the filter
// index of the last confirmed save dialog (0 before any).
class DialogBox {
public:
    explicit DialogBox(FileDialogs& dialogs) : m_dialogs(dialogs) {}

    // Handles the current command (word 2 and on); unknown words go to the
    // script function fallback.
    Result handle(Engine& e);

private:
    Result open(Engine& e);
    Result save(Engine& e);
    Result folder(Engine& e);
    FileDialogRequest file_request(Engine& e) const;

    FileDialogs& m_dialogs;
    int m_last_save_filter = 0;
};

} // namespace ruk
