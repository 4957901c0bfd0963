// One browser as the family sees it: the form, reached only while it exists.
#include "browser/BrowserControl.h"

#include "browser/BrowserPage.h"

#include <QWebEngineView>

namespace ruk {

BrowserControl::~BrowserControl()
{
    delete m_form.data();
}

uint64_t BrowserControl::handle() const
{
    return m_form ? static_cast<uint64_t>(m_form->view()->effectiveWinId()) : 0;
}

void BrowserControl::set_visible(bool visible)
{
    if (m_form)
        m_form->setVisible(visible);
}

void BrowserControl::repaint()
{
    if (m_form)
        m_form->view()->update();
}

BrowserBounds BrowserControl::bounds() const
{
    if (!m_form)
        return {};
    const QRect r = m_form->geometry();
    return BrowserBounds {r.x(), r.y(), r.width(), r.height()};
}

void BrowserControl::set_bounds(const BrowserBounds& bounds, int32_t extra_width)
{
    if (m_form)
        m_form->place(bounds, extra_width);
}

bool BrowserControl::contains_screen_point(int32_t x, int32_t y) const
{
    if (!m_form || !m_form->isVisible())
        return false;
    QWidget* view = m_form->view();
    const QPoint local = view->mapFromGlobal(QPoint(x, y));
    // Only the part of the control the form shows counts.
    return view->rect().contains(local) && m_form->rect().contains(m_form->mapFromGlobal(QPoint(x, y)));
}

void BrowserControl::navigate(const std::string& url, const std::string& headers, bool no_history, bool no_cache)
{
    if (m_form)
        m_form->navigate(url, headers, no_history, no_cache);
}

std::string BrowserControl::url() const
{
    return m_form ? m_form->page()->url().toString().toStdString() : std::string();
}

void BrowserControl::go(BrowserGo what)
{
    if (m_form)
        m_form->go(what);
}

std::optional<std::string> BrowserControl::evaluate(const std::string& code)
{
    if (!m_form)
        return std::nullopt;
    return m_form->evaluate(code);
}

void BrowserControl::run_script(const std::string& code)
{
    if (m_form)
        m_form->run_script(code);
}

void BrowserControl::set_zoom(int level)
{
    static const double factors[] = {0.6, 0.8, 1.0, 1.2, 1.5};
    if (m_form)
        m_form->page()->setZoomFactor(factors[level < 0 ? 0 : level > 4 ? 4 : level]);
}

void BrowserControl::set_silent(bool silent)
{
    if (m_form)
        m_form->page()->set_silent(silent);
}

void BrowserControl::set_offline(bool offline)
{
    if (m_form)
        m_form->set_offline(offline);
}

void BrowserControl::set_background(uint32_t colour)
{
    if (!m_form)
        return;
    const QColor c(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
    QPalette colours = m_form->palette();
    colours.setColor(QPalette::Window, c);
    m_form->setPalette(colours);
    // The page shows it too until (and where) its document paints.
    m_form->page()->setBackgroundColor(c);
}

void BrowserControl::print(bool page_setup)
{
    if (m_form)
        m_form->print(page_setup);
}

void BrowserControl::save_as()
{
    if (m_form)
        m_form->save_as();
}

void BrowserControl::show_properties()
{
    if (m_form)
        m_form->show_properties();
}

BrowserPicture BrowserControl::grab()
{
    return m_form ? m_form->grab_page() : BrowserPicture {};
}

} // namespace ruk
