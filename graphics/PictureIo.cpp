// Picture errors as text, and reading and replacing picture files.
#include "graphics/PictureIo.h"

#include "host/FileIo.h"
#include "host/ReplacingFile.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace ruk {

const char* picture_error_text(PictureError error)
{
    switch (error) {
    case PictureError::None: return "no error";
    case PictureError::NotFound: return "the file cannot be found";
    case PictureError::CannotRead: return "the file cannot be read";
    case PictureError::NotAPicture: return "the file is not a picture of this kind";
    case PictureError::Unsupported: return "this kind of picture is not supported";
    case PictureError::BadHeader: return "the picture's header does not match its file";
    case PictureError::Truncated: return "the picture data is cut short or damaged";
    case PictureError::TooLarge: return "the picture is too large";
    case PictureError::OutOfMemory: return "not enough memory for the picture";
    case PictureError::CannotWrite: return "the picture cannot be written";
    }
    return "unknown error";
}

PictureError read_picture_file(const std::string& path, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    // O_NONBLOCK: opening a pipe without a writer must not wait; the file
    // is then refused as not regular.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return PictureError::NotFound;
    struct stat st {};
    PictureError result = PictureError::None;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = PictureError::CannotRead;
    } else if (size_t(st.st_size) > MaxPictureFileSize) {
        result = PictureError::TooLarge;
    } else {
        try {
            bytes.resize(size_t(st.st_size));
            size_t done = 0;
            while (done < bytes.size()) {
                ssize_t n = read_some(fd, bytes.data() + done, bytes.size() - done);
                if (n < 0) {
                    result = PictureError::CannotRead;
                    break;
                }
                if (n == 0)
                    break;
                done += size_t(n);
            }
            // A file that shrank while being read is read as it now is.
            bytes.resize(done);
        } catch (const std::bad_alloc&) {
            result = PictureError::OutOfMemory;
        }
    }
    ::close(fd);
    if (result != PictureError::None)
        bytes.clear();
    return result;
}

PictureLoad load_picture_file(const std::string& path,
                              PictureLoad (*decode)(std::span<const uint8_t> bytes, int32_t max_side))
{
    std::vector<uint8_t> bytes;
    PictureLoad result;
    result.error = read_picture_file(path, bytes);
    if (!result.ok())
        return result;
    return decode(bytes, Bitmap::MaxSide);
}

PictureError replace_file(const std::string& path, std::span<const uint8_t> bytes)
{
    // A read-only picture is not replaced behind its owner's back; a
    // replaced one keeps the permissions of the one it replaces.
    ReplacingFile out;
    bool ok = out.open(path) && out.write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
        && out.commit(false, true);
    return ok ? PictureError::None : PictureError::CannotWrite;
}

} // namespace ruk
