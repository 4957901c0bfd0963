// The page of one embedded browser: navigation requests, new windows, dialogs and the page's notes to the engine.
#include "browser/BrowserPage.h"

#include <QGuiApplication>

namespace ruk {

namespace {

// Console notes start with this mark; the page's own messages never reach
// the engine.
const QString NoteMark = QStringLiteral("\x01ruk-note:");

} // namespace

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent)
{
    // Without a screen no dialog could be answered.
    m_silent = QGuiApplication::platformName() == QLatin1String("offscreen");
}

QString BrowserPage::engine_page_script()
{
    // Focus and hover notes for the input filter; mail links go to the
    // engine instead of the desktop's mail program; copy and cut give the
    // selection's text with blank lines taken out; cut empties only a text
    // field's selection.
    return QStringLiteral(R"JS(
(function(){
 function note(k,e){try{console.log('\x01ruk-note:'+k+':'+(e&&e.tagName?e.tagName:''));}catch(x){}}
 function field(e){return e&&(e.tagName=='INPUT'||e.tagName=='TEXTAREA');}
 function text(){var a=document.activeElement;if(field(a)&&typeof a.selectionStart=='number'){try{return a.value.substring(a.selectionStart,a.selectionEnd);}catch(x){}}
  return String(window.getSelection());}
 function plain(t){return t.replace(/\r/g,'').replace(/\n\n+/g,'\n');}
 document.addEventListener('focusin',function(ev){note('focus',ev.target);},true);
 document.addEventListener('focusout',function(ev){note('focus',null);},true);
 document.addEventListener('mouseover',function(ev){note('hover',ev.target);},true);
 document.addEventListener('click',function(ev){var a=ev.target&&ev.target.closest?ev.target.closest('a[href]'):null;
  if(a&&/^mailto:/i.test(a.getAttribute('href'))){ev.preventDefault();try{console.log('\x01ruk-note:mail:'+a.href);}catch(x){}}},true);
 document.addEventListener('copy',function(ev){ev.clipboardData.setData('text/plain',plain(text()));ev.preventDefault();},true);
 document.addEventListener('cut',function(ev){var a=document.activeElement;if(!field(a))return;
  ev.clipboardData.setData('text/plain',plain(text()));ev.preventDefault();document.execCommand('delete');},true);
})();
)JS");
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool main_frame)
{
    return !m_navigation_check || m_navigation_check(url, main_frame);
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType)
{
    // An allowed new window opens in this browser: the engine has no
    // windows of its own for pages. A stand-in page learns the address and
    // goes away.
    if (!m_window_check || !m_window_check())
        return nullptr;
    auto* stand_in = new QWebEnginePage(profile(), this);
    connect(stand_in, &QWebEnginePage::urlChanged, this, [this, stand_in](const QUrl& url) {
        if (!url.isEmpty())
            setUrl(url);
        stand_in->deleteLater();
    });
    return stand_in;
}

void BrowserPage::javaScriptAlert(const QUrl& origin, const QString& text)
{
    if (!m_silent)
        QWebEnginePage::javaScriptAlert(origin, text);
}

bool BrowserPage::javaScriptConfirm(const QUrl& origin, const QString& text)
{
    return m_silent ? false : QWebEnginePage::javaScriptConfirm(origin, text);
}

bool BrowserPage::javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value, QString* result)
{
    return m_silent ? false : QWebEnginePage::javaScriptPrompt(origin, text, value, result);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& text, int, const QString&)
{
    if (!text.startsWith(NoteMark))
        return;
    const QString note = text.mid(NoteMark.size());
    if (note.startsWith(QLatin1String("focus:")))
        m_focus_tag = note.mid(6);
    else if (note.startsWith(QLatin1String("hover:")))
        m_hover_tag = note.mid(6);
    else if (note.startsWith(QLatin1String("mail:")) && m_mail_link)
        m_mail_link(QUrl(note.mid(5)));
}

} // namespace ruk
