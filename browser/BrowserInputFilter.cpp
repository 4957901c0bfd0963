// Keeps the embedded browsers' mouse and keyboard shortcuts under the script's control.
#include "browser/BrowserInputFilter.h"

#include "browser/BrowserPage.h"
#include "browser/Webbrowser.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace ruk {

TfBrowser* BrowserInputFilter::browser_of(QObject* watched)
{
    if (!watched->isWidgetType())
        return nullptr;
    for (QWidget* w = static_cast<QWidget*>(watched); w; w = w->parentWidget())
        if (auto* form = qobject_cast<TfBrowser*>(w))
            return form;
    return nullptr;
}

bool BrowserInputFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick && type != QEvent::KeyPress && type != QEvent::ContextMenu)
        return false;
    TfBrowser* form = browser_of(watched);
    if (!form)
        return false;
    const BrowserPage* page = form->page();
    const int mode = form->events().right_click_mode();
    const bool over_field = page->hover_over_text_field();

    if (type == QEvent::ContextMenu)
        return mode == 0 || mode == 1 || (mode == 2 && !over_field);
    if (type != QEvent::KeyPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && type != QEvent::MouseButtonRelease) {
            if (mode == 0)
                return true;
            return type == QEvent::MouseButtonPress && (mode == 1 || (mode == 2 && !over_field));
        }
        if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier))
            return !over_field;
        return false;
    }

    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const int k = key->key();
    const bool ctrl = mods == Qt::ControlModifier;
    if (k == Qt::Key_F5 || k == Qt::Key_F6 || (k == Qt::Key_F10 && mods == Qt::ShiftModifier) ||
        (ctrl && (k == Qt::Key_N || k == Qt::Key_F || k == Qt::Key_P)))
        return true;
    if (k == Qt::Key_Tab || k == Qt::Key_Backtab || (ctrl && k == Qt::Key_R)) {
        if (page->focus_tag() == QLatin1String("TEXTAREA")) {
            form->run_script_in_engine_world("document.execCommand('insertText',false,'    ')");
            return true;
        }
        return page->focus_tag() != QLatin1String("INPUT");
    }
    if (ctrl && k == Qt::Key_Z)
        return !page->focus_in_text_field();
    return false;
}

} // namespace ruk
