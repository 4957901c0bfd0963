// What picture readers and writers report, and the file reading and replacing they share.
#pragma once

#include "graphics/Bitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ruk {

enum class PictureError {
    None,
    NotFound,      // the file does not exist or cannot be opened
    CannotRead,    // a read failed, or the file is not a regular file
    NotAPicture,   // the bytes are not a picture of the expected kind
    Unsupported,   // a kind of picture this engine does not read
    BadHeader,     // the header contradicts itself or the file (sizes, offsets)
    Truncated,     // the picture data ends early or is damaged
    TooLarge,      // a side passes Bitmap::MaxSide, or the file is too big
    OutOfMemory,
    CannotWrite,   // the file could not be written; an old file is left as it was
};

const char* picture_error_text(PictureError error);

// FIXME: icons (.ico, .cur) are not read here: they need Qt's image reader,
// which this library does without; the window and draw families are to load
// them through Qt and hand the pixels over as a Bitmap.

// A loaded picture, or why there is none.
struct PictureLoad {
    Bitmap bitmap;
    PictureError error = PictureError::None;
    bool ok() const { return error == PictureError::None; }
};

// The largest picture file the engine reads (a 32-bit bitmap of the largest
// size fits).
inline constexpr size_t MaxPictureFileSize = size_t(1) << 31;

// Reads a whole regular file of at most MaxPictureFileSize bytes.
PictureError read_picture_file(const std::string& path, std::vector<uint8_t>& bytes);

// Reads a picture file (as read_picture_file) and decodes its bytes with
// `decode`, whose largest side is the bitmap's limit.
PictureLoad load_picture_file(const std::string& path,
                              PictureLoad (*decode)(std::span<const uint8_t> bytes, int32_t max_side));

// Writes `bytes` to a temporary file beside `path` and renames it into place,
// so that a failed write leaves any old file untouched.
PictureError replace_file(const std::string& path, std::span<const uint8_t> bytes);

} // namespace ruk
