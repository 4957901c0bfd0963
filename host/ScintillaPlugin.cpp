// The editor plugin: Scintilla controls (QScintilla) behind the engine's EditorControl face.
#include "host/EditorControl.h"

#include <Qsci/qsciscintillabase.h>

namespace ruk {

namespace {

// The raw control: the engine passes message numbers through unchanged, so
// no wrapper keeps state of its own beside the control's.
class ScintillaEditor : public QsciScintillaBase, public EditorControl {
public:
    ScintillaEditor(QWidget* parent, EditorNotifyFunction notify, void* context)
        : QsciScintillaBase(parent), m_notify(notify), m_context(context)
    {
        connect_notifications();
    }

    QWidget* widget() override { return this; }
    intptr_t send(uint32_t message, uintptr_t word, intptr_t value) override
    {
        return SendScintilla(message, static_cast<unsigned long>(word), static_cast<long>(value));
    }

private:
    void tell(int code, int character = 0) { m_notify(m_context, code, character); }

    // Scintilla's notification codes; SCN_PAINTED is left out, as it comes
    // with every paint and would drown the others.
    void connect_notifications()
    {
        using B = QsciScintillaBase;
        connect(this, &B::SCN_STYLENEEDED, this, [this](int) { tell(2000); });
        connect(this, &B::SCN_CHARADDED, this, [this](int ch) { tell(2001, ch); });
        connect(this, &B::SCN_SAVEPOINTREACHED, this, [this] { tell(2002); });
        connect(this, &B::SCN_SAVEPOINTLEFT, this, [this] { tell(2003); });
        connect(this, &B::SCN_MODIFYATTEMPTRO, this, [this] { tell(2004); });
        connect(this, &B::SCN_DOUBLECLICK, this, [this](int, int, int) { tell(2006); });
        connect(this, &B::SCN_UPDATEUI, this, [this](int) { tell(2007); });
        connect(this, &B::SCN_MODIFIED, this, [this](int, int, const char*, int, int, int, int, int, int, int) {
            tell(2008);
        });
        connect(this, &B::SCN_MACRORECORD, this, [this](unsigned int, unsigned long, void*) { tell(2009); });
        connect(this, &B::SCN_MARGINCLICK, this, [this](int, int, int) { tell(2010); });
        connect(this, &B::SCN_NEEDSHOWN, this, [this](int, int) { tell(2011); });
        connect(this, QOverload<const char*, int, int, int>::of(&B::SCN_USERLISTSELECTION), this,
                [this](const char*, int, int ch, int) { tell(2014, ch); });
        connect(this, &B::SCN_URIDROPPED, this, [this](const QUrl&) { tell(2015); });
        connect(this, &B::SCN_DWELLSTART, this, [this](int, int, int) { tell(2016); });
        connect(this, &B::SCN_DWELLEND, this, [this](int, int, int) { tell(2017); });
        connect(this, &B::SCN_ZOOM, this, [this] { tell(2018); });
        connect(this, &B::SCN_HOTSPOTCLICK, this, [this](int, int) { tell(2019); });
        connect(this, &B::SCN_HOTSPOTDOUBLECLICK, this, [this](int, int) { tell(2020); });
        connect(this, &B::SCN_CALLTIPCLICK, this, [this](int) { tell(2021); });
        connect(this, QOverload<const char*, int, int, int>::of(&B::SCN_AUTOCSELECTION), this,
                [this](const char*, int, int ch, int) { tell(2022, ch); });
        connect(this, &B::SCN_INDICATORCLICK, this, [this](int, int) { tell(2023); });
        connect(this, &B::SCN_INDICATORRELEASE, this, [this](int, int) { tell(2024); });
        connect(this, &B::SCN_AUTOCCANCELLED, this, [this] { tell(2025); });
        connect(this, &B::SCN_AUTOCCHARDELETED, this, [this] { tell(2026); });
        connect(this, &B::SCN_HOTSPOTRELEASECLICK, this, [this](int, int) { tell(2027); });
        connect(this, &B::SCN_FOCUSIN, this, [this] { tell(2028); });
        connect(this, &B::SCN_FOCUSOUT, this, [this] { tell(2029); });
        connect(this, &B::SCN_AUTOCCOMPLETED, this, [this](const char*, int, int ch, int) { tell(2030, ch); });
        connect(this, &B::SCN_MARGINRIGHTCLICK, this, [this](int, int, int) { tell(2031); });
        connect(this, &B::SCN_AUTOCSELECTIONCHANGE, this, [this](const char*, int, int) { tell(2032); });
    }

    EditorNotifyFunction m_notify;
    void* m_context;
};

} // namespace

} // namespace ruk

extern "C" __attribute__((visibility("default"))) ruk::EditorControl*
ruk_create_editor(QWidget* parent, ruk::EditorNotifyFunction notify, void* context)
{
    return new ruk::ScintillaEditor(parent, notify, context);
}
