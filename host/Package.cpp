// Script packages (placeholder).
