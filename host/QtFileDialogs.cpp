// The file, multi-file and folder selection dialogs for scripts, on QFileDialog.
#include "host/QtFileDialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace ruk {

namespace {

QString qt_text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "Text files" with "*.txt;*.log" becomes "Text files (*.txt *.log)": Qt
// reads the patterns from the last parentheses and shows what precedes them.
QStringList name_filters(const std::vector<FileFilter>& filters)
{
    QStringList list;
    for (const FileFilter& f : filters) {
        QString patterns = qt_text(f.patterns).replace(';', ' ').simplified();
        list << qt_text(f.description) + " (" + patterns + ")";
    }
    return list;
}

std::unique_ptr<QFileDialog> make_dialog()
{
    auto dialog = std::make_unique<QFileDialog>();
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog->setWindowModality(Qt::ApplicationModal);
    return dialog;
}

// What open and save share: title, folder, type list, default extension
// and the proposed name.
void prepare(QFileDialog& dialog, const FileDialogRequest& request)
{
    dialog.setWindowTitle(qt_text(request.title));
    if (!request.folder.empty())
        dialog.setDirectory(qt_text(request.folder));
    if (request.filters)
        dialog.setNameFilters(name_filters(*request.filters));
    QString extension = qt_text(request.default_extension);
    while (extension.startsWith('.'))
        extension.remove(0, 1);
    dialog.setDefaultSuffix(extension);
    dialog.selectFile(qt_text(request.file_name));
}

} // namespace

QtFileDialogs::QtFileDialogs() = default;
QtFileDialogs::~QtFileDialogs() = default;

std::vector<std::string> QtFileDialogs::open(const FileDialogRequest& request)
{
    if (!m_open)
        m_open = make_dialog();
    QFileDialog& dialog = *m_open;
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    prepare(dialog, request);
    std::vector<std::string> chosen;
    if (dialog.exec() != QDialog::Accepted)
        return chosen;
    for (const QString& path : dialog.selectedFiles())
        chosen.push_back(path.toStdString());
    return chosen;
}

std::optional<SavedFile> QtFileDialogs::save(const FileDialogRequest& request)
{
    if (!m_save)
        m_save = make_dialog();
    QFileDialog& dialog = *m_save;
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    prepare(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    SavedFile saved;
    saved.path = dialog.selectedFiles().first().toStdString();
    const qsizetype index = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
    saved.filter_index = index < 0 ? 1 : static_cast<int>(index) + 1;
    return saved;
}

std::optional<std::string> QtFileDialogs::folder(const FolderDialogRequest& request)
{
    std::unique_ptr<QFileDialog> dialog = make_dialog();
    dialog->setWindowTitle(request.prompt.empty() ? QStringLiteral("Choose a folder") : qt_text(request.prompt));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, !request.show_files);
    if (!request.start_folder.empty())
        dialog->setDirectory(qt_text(request.start_folder));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().first().toStdString();
}

} // namespace ruk
