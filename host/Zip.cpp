// The engine's compressor (placeholder).
