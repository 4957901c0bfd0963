// The settings store (placeholder).
