// One browser as the family sees it: the form, reached only while it exists.
#pragma once

#include "browser/BrowserModule.h"
#include "browser/Webbrowser.h"

#include <QPointer>

namespace ruk {

// Owns its TfBrowser unless the parent window has taken the form with it;
// every call on a form that is gone does nothing and answers empty.
class BrowserControl : public BrowserView {
public:
    explicit BrowserControl(TfBrowser* form) : m_form(form) {}
    ~BrowserControl() override;

    bool alive() const override { return !m_form.isNull(); }
    uint64_t handle() const override;
    void set_visible(bool visible) override;
    void repaint() override;
    BrowserBounds bounds() const override;
    void set_bounds(const BrowserBounds& bounds, int32_t extra_width) override;
    bool contains_screen_point(int32_t x, int32_t y) const override;
    void navigate(const std::string& url, const std::string& headers, bool no_history, bool no_cache) override;
    std::string url() const override;
    void go(BrowserGo what) override;
    std::optional<std::string> evaluate(const std::string& code) override;
    void run_script(const std::string& code) override;
    void set_zoom(int level) override;
    void set_silent(bool silent) override;
    void set_offline(bool offline) override;
    void set_background(uint32_t colour) override;
    void print(bool page_setup) override;
    void save_as() override;
    void show_properties() override;
    BrowserPicture grab() override;

private:
    QPointer<TfBrowser> m_form;
};

} // namespace ruk
