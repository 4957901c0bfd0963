// Settings families (placeholder).
