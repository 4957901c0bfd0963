// The engine's side of the browser module: opening librukbrowser.so and making browsers in script windows.
#include "browser/BrowserLibrary.h"
#include "host/ModuleFolder.h"

#include "graphics/ScriptWindow.h"
#include "host/Main.h"
#include "system/DynamicLibrary.h"

#include <QProcess>
#include <QWidget>

#include <cstdlib>


namespace ruk {

namespace {

DynamicLibrary* g_library = nullptr;
BrowserPrepareFunction g_prepare = nullptr;
BrowserModuleFunction g_module = nullptr;
bool g_prepared = false;

} // namespace

std::string BrowserLibrary::module_path()
{
    if (const char* given = std::getenv("RUK_BROWSER_MODULE"); given && *given)
        return given;
    return find_module("librukbrowser.so").value_or("librukbrowser.so");
}

bool BrowserLibrary::prepare()
{
    if (g_library)
        return g_prepared;
    // The library stays loaded until the process ends, as WebEngine's threads do.
    g_library = new DynamicLibrary(module_path(), "the browser family");
    g_library->open([](DynamicLibrary& library) {
        library.symbol(g_prepare, BrowserPrepareSymbol);
        library.symbol(g_module, BrowserModuleSymbol);
    });
    g_prepared = g_library->available() && g_prepare && g_module && g_prepare();
    return g_prepared;
}

bool BrowserLibrary::prepared() { return g_prepared; }

BrowserModule* BrowserLibrary::module()
{
    if (!m_module && g_prepared)
        m_module = g_module();
    return m_module;
}

bool BrowserLibrary::available() { return g_prepared; }

std::unique_ptr<BrowserView> BrowserLibrary::create(int id, int parent, BrowserEvents& events)
{
    BrowserModule* browsers = module();
    if (!browsers)
        return nullptr;
    QWidget* parent_widget = nullptr;
    if (parent >= 0)
        parent_widget = dynamic_cast<TrukEngineWin*>(m_windows.window(parent));
    return browsers->create(id, parent_widget, events);
}

int BrowserLibrary::scrollbar_width()
{
    BrowserModule* browsers = module();
    return browsers ? browsers->scrollbar_width() : 0;
}

std::vector<WindowInset> BrowserLibrary::shown_pages()
{
    std::vector<WindowInset> insets;
    if (!m_module)
        return insets;
    for (int index = 0; index < WindowTable::Slots; ++index) {
        // Grabbing a page runs the loop a little: each window is looked up afresh.
        auto* window = dynamic_cast<TrukEngineWin*>(m_windows.window(index));
        if (!window || !window->is_visible())
            continue;
        for (const ShownPage& page : m_module->shown_pages(window)) {
            WindowInset inset{index, page.bounds.left, page.bounds.top,
                              Bitmap(page.picture.width, page.picture.height, 24)};
            for (int32_t y = 0; y < page.picture.height; ++y)
                for (int32_t x = 0; x < page.picture.width; ++x) {
                    const uint32_t argb = page.picture.pixels[size_t(y) * size_t(page.picture.width) + size_t(x)];
                    inset.picture.set_pixel(x, y, make_colour(uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)));
                }
            insets.push_back(std::move(inset));
        }
    }
    return insets;
}

void BrowserLibrary::open_external(const std::string& url)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(url)});
}

} // namespace ruk
