// The canvas module opened the first time a canvas paints or measures, and its painter.
#include "graphics/PainterModule.h"

#include "graphics/CanvasPainter.h"
#include "host/ModuleFolder.h"
#include "system/DynamicLibrary.h"

namespace ruk {

PainterModule::PainterModule(std::string path)
    : m_library(std::make_unique<DynamicLibrary>(std::move(path), "shapes and text"))
{
}

PainterModule::~PainterModule() = default;

CanvasPainter* PainterModule::painter()
{
    const bool ok = m_library->open([this](DynamicLibrary& library) {
        CanvasPainterFunction make = nullptr;
        library.symbol(make, CanvasPainterSymbol);
        if (make)
            m_painter = make();
        if (make && !m_painter)
            library.fail("the module gave no painter");
    });
    return ok ? m_painter : nullptr;
}

PainterModule& PainterModule::shared()
{
    // Never destroyed: canvases may paint from exit handlers.
    static PainterModule* module = new PainterModule(find_module(CanvasModuleFile).value_or(CanvasModuleFile));
    return *module;
}

} // namespace ruk
