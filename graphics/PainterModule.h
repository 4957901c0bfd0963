// The canvas module opened the first time a canvas paints or measures, and its painter.
#pragma once

#include <memory>
#include <string>

namespace ruk {

class CanvasPainter;
class DynamicLibrary;

// Opens the module once, on the first call of painter(), and keeps it open
// until the process ends. When the module cannot be found or opened, or
// lacks its entry point, painter() is null for good (said once through the
// library notices) and canvases then paint nothing.
class PainterModule {
public:
    // `path` is the module's file, or a name the system loader looks up.
    explicit PainterModule(std::string path);
    ~PainterModule();
    PainterModule(const PainterModule&) = delete;
    PainterModule& operator=(const PainterModule&) = delete;

    CanvasPainter* painter();

    // The module beside the running program, shared by every canvas.
    static PainterModule& shared();

private:
    std::unique_ptr<DynamicLibrary> m_library;
    CanvasPainter* m_painter = nullptr;
};

} // namespace ruk
