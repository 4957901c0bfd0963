// Keeps the embedded browsers' mouse and keyboard shortcuts under the script's control.
#pragma once

#include <QObject>

namespace ruk {

class TfBrowser;

// Watches every input event of the application before it reaches a
// browser's view and swallows what scripts do not want pages to see:
//  - right-button presses and context menus by the right-click mode (0 and 1:
//    none; 2: only over text fields, so that they keep their edit menu);
//  - Shift with the left button outside text fields (no links opened in new
//    windows);
//  - F5, F6, Shift+F10, Ctrl+N, Ctrl+F, Ctrl+P; Ctrl+Z outside text fields;
//  - Tab and Ctrl+R: four blanks in a text area, the key itself in an input
//    field, nothing elsewhere.
// Copy and cut (Ctrl+C, Ctrl+X) pass; the engine's page script gives them
// the selection's text with blank lines taken out.
class BrowserInputFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static TfBrowser* browser_of(QObject* watched);
};

} // namespace ruk
