// The "disk" family: files, folders and drives, a thin binding over the plain file helpers.
#include "system/Disk.h"
#include "system/DialogBox.h"

#include "core/Engine.h"
#include "host/FileIo.h"
#include "host/Zip.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace ruk {

namespace {

inline constexpr const char* MsgCannotRead = "Cannot read file.";
inline constexpr const char* MsgCannotWrite = "Cannot write file.";
inline constexpr const char* MsgCannotMerge = "Cannot merge file.";
// Labels and file-system names are cut to this length.
inline constexpr size_t MaxVolumeText = 127;

// What the family keeps between commands: the compressor, made on first use.
struct DiskState {
    std::unique_ptr<Compressor> compressor;
    Compressor& zip()
    {
        if (!compressor)
            compressor = std::make_unique<Compressor>();
        return *compressor;
    }
};

std::optional<std::string> path_param(Engine& e, int n) { return disk::resolve_path(e.param(n)); }

// A packed date-time number. Almost every such number is beyond the 24 bits
// an integer expression holds exactly, so a plain decimal number is read
// as it is; anything else is taken as an expression.
int32_t packed_param(Engine& e, int n)
{
    const std::string& text = e.param(n);
    size_t digits = text.size() > 1 && text[0] == '-' ? 1 : 0;
    bool plain = digits < text.size() && text.size() - digits <= 10
        && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
    if (plain) {
        long long value = std::stoll(text);
        if (value >= INT32_MIN && value <= UINT32_MAX)
            return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return e.param_int(n, -1);
}

// The separator of array files: the first character of the parameter, or
// 0x01 when it is empty.
char separator_param(Engine& e, int n)
{
    const std::string& text = e.param(n);
    return text.empty() ? '\x01' : text[0];
}

// Stores texts into an array from element `first` on; the array is found or
// created by name and is not emptied beyond the last element written.
// Returns false when the array would grow past the largest index a script may use.
bool fill_array(Engine& e, const std::string& name, bool append, const std::vector<std::string_view>& texts)
{
    if (name.empty())
        return true;
    VarStore& vars = e.vars();
    int32_t number = vars.index(name);
    int32_t first = append ? vars.at(number).highest() + 1 : 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        int64_t index = static_cast<int64_t>(first) + static_cast<int64_t>(i);
        if (index > VarStore::MaxIndex)
            return false;
        vars.set_element(number, static_cast<int32_t>(index), texts[i]);
    }
    return true;
}

// "file.list" and "folder.list": the pattern's folder part (up to its last
// separator) says where to look, the rest which names to take.
Result list_into_array(Engine& e, bool folders)
{
    std::string pattern = e.param(1);
    std::string array = e.param(2);
    size_t cut = pattern.find_last_of("\\/");
    std::string folder;
    if (cut != std::string::npos) {
        auto resolved = disk::resolve_path(std::string_view(pattern).substr(0, cut + 1));
        if (!resolved)
            return std::string();
        folder = *resolved;
    }
    std::string_view names_pattern = cut == std::string::npos ? std::string_view(pattern)
                                                              : std::string_view(pattern).substr(cut + 1);
    std::vector<std::string> names = disk::list_folder(folder, names_pattern, folders);
    std::vector<std::string_view> texts(names.begin(), names.end());
    if (!fill_array(e, array, false, texts))
        e.report_error(MsgBadIndex);
    return std::string();
}

Result file_load(Engine& e)
{
    const std::string& mode = e.word(3);
    auto path = path_param(e, 1);
    // A file that is not there reads as empty text; one that is there and
    // cannot be read is an error.
    std::optional<std::string> data;
    if (!path || !disk::path_exists(*path))
        data = std::string();
    else
        data = read_whole_file(*path);
    if (!data) {
        e.report_error(MsgCannotRead);
        return std::string();
    }
    if (mode == "decode") {
        // The whole file is decoded before the text ends at a zero: a byte
        // 0xFF in a saved text comes back instead of cutting the text short.
        disk::invert_bytes(*data);
        return std::string(disk::until_zero(*data));
    }
    if (mode == "array") {
        std::string array = e.param(2);
        bool append = e.word(4) == "append";
        auto pieces = disk::split_pieces(disk::until_zero(*data), separator_param(e, 3));
        if (!fill_array(e, array, append, pieces))
            e.report_error(MsgBadIndex);
        return std::string();
    }
    return std::string(disk::until_zero(*data));
}

Result file_save(Engine& e)
{
    std::string data;
    bool encode = false;
    if (e.word(3) == "array") {
        encode = e.word(4) == "encode";
        const std::string& name = e.param(2);
        char separator = separator_param(e, 3);
        if (!name.empty()) {
            const auto& elements = e.vars().at(e.vars().index(name)).elements;
            for (size_t i = 0; i < elements.size(); ++i) {
                if (i > 0)
                    data += separator;
                data += elements[i];
            }
        }
    } else {
        encode = e.word(3) == "encode";
        data = std::string(disk::until_zero(e.param(2)));
    }
    if (encode)
        disk::invert_bytes(data);
    auto path = path_param(e, 1);
    if (!path || !disk::write_file(*path, data))
        e.report_error(MsgCannotWrite);
    return std::string();
}

Result file_zip(Engine& e, DiskState& state, bool compress)
{
    auto src = path_param(e, 1);
    auto dst = path_param(e, 2);
    return flag_to_text(src && dst && disk::zip_file(state.zip(), *src, *dst, compress));
}

Result file_ops(Engine& e, DiskState& state)
{
    const std::string& op = e.word(2);
    if (op == "copy") {
        auto src = path_param(e, 1);
        auto dst = path_param(e, 2);
        return flag_to_text(src && dst && disk::copy_file(*src, *dst, starts_with_1(e.param(3))));
    }
    if (op == "compress")
        return file_zip(e, state, true);
    if (op == "expand")
        return file_zip(e, state, false);
    if (op == "size") {
        auto path = path_param(e, 1);
        return int_to_text(path ? disk::file_size(*path) : -1);
    }
    if (op == "delete") {
        auto path = path_param(e, 1);
        return flag_to_text(path && disk::delete_file(*path));
    }
    if (op == "move") {
        auto src = path_param(e, 1);
        auto dst = path_param(e, 2);
        if (!src || !dst || !disk::copy_file(*src, *dst, starts_with_1(e.param(3))))
            return flag_to_text(false);
        return flag_to_text(disk::delete_file(*src));
    }
    if (op == "exists") {
        auto path = path_param(e, 1);
        return flag_to_text(path && disk::file_readable(*path));
    }
    if (op == "list")
        return list_into_array(e, false);
    if (op == "older") {
        auto path = path_param(e, 1);
        int32_t days = e.param_int(2, 0) / 1000;
        auto packed = disk::pack_days_later(std::time(nullptr), days);
        auto when = packed ? disk::unpack_date_time(*packed) : std::nullopt;
        if (path && when)
            disk::set_file_date(*path, *when);
        return std::string();
    }
    if (op == "date") {
        if (e.word(3) == "get") {
            auto path = path_param(e, 1);
            auto packed = path ? disk::file_date(*path) : std::nullopt;
            return int_to_text(packed ? *packed : -1);
        }
        if (e.word(3) == "set") {
            auto path = path_param(e, 1);
            std::optional<std::time_t> when;
            if (e.param(2).empty())
                when = disk::unpack_date_time(disk::pack_date_time(std::time(nullptr)));
            else
                when = disk::unpack_date_time(packed_param(e, 2));
            if (path && when)
                disk::set_file_date(*path, *when);
            return std::string();
        }
        return e.call_function();
    }
    if (op == "load")
        return file_load(e);
    if (op == "save")
        return file_save(e);
    if (op == "merge") {
        auto first = path_param(e, 1);
        auto second = path_param(e, 2);
        auto out = path_param(e, 3);
        if (!out || disk::merge_files(first.value_or(""), second.value_or(""), *out) != disk::MergeResult::Done)
            e.report_error(MsgCannotMerge);
        return std::string();
    }
    return e.call_function();
}

Result folder_ops(Engine& e)
{
    const std::string& op = e.word(2);
    if (op == "create") {
        auto path = path_param(e, 1);
        return flag_to_text(path && disk::create_folder(*path));
    }
    if (op == "remove") {
        // The engine's current folder never holds a folder on Linux, so there
        // is no need to step out of it first.
        auto path = path_param(e, 1);
        return flag_to_text(path && disk::remove_folder(*path));
    }
    if (op == "exists") {
        std::string text = e.param(1);
        if (text.size() > 1 && (text.back() == '\\' || text.back() == '/'))
            text.pop_back();
        auto path = disk::resolve_path(text);
        return flag_to_text(path && disk::folder_exists(*path));
    }
    if (op == "list")
        return list_into_array(e, true);
    if (op == "setassystem") {
        // Linux has no system attribute; what the call can still mean here is
        // that the file is no longer read-only.
        auto path = path_param(e, 1);
        if (path)
            disk::make_owner_writable(*path);
        return std::string();
    }
    return e.call_function();
}

// Space on a drive in KiB, or MiB when parameter 2 is set; -1 when the
// drive is missing.
Result drive_space(Engine& e, const disk::Drive* drive, bool total)
{
    auto space = drive ? disk::drive_space(*drive) : std::nullopt;
    if (!space)
        return int_to_text(-1);
    uint64_t amount = (total ? space->total_bytes : space->free_bytes) / 1024;
    if (starts_with_1(e.param(2)))
        amount /= 1024;
    return int_to_text(static_cast<int64_t>(amount));
}

Result drive_ops(Engine& e)
{
    const std::string& op = e.word(2);
    if (op == "list")
        return disk::DriveMap::current().letters();
    disk::DriveMap drives = disk::DriveMap::current();
    const std::string& letter_text = e.param(1);
    const disk::Drive* drive = letter_text.empty() ? nullptr : drives.find(letter_text[0]);
    if (op == "type") {
        if (!drive || !disk::drive_present(*drive))
            return std::string("Does not exist");
        return disk::drive_type_name(drive->fs_type, disk::block_device_removable(drive->major, drive->minor));
    }
    if (op == "ffreespace" || op == "freespace")
        return drive_space(e, drive, false);
    if (op == "totalspace")
        return drive_space(e, drive, true);
    if (op == "label")
        return drive ? disk::volume_label(drive->major, drive->minor).substr(0, MaxVolumeText) : std::string();
    if (op == "sysname")
        return drive ? drive->fs_type.substr(0, MaxVolumeText) : std::string();
    return e.call_function();
}

} // namespace

void register_disk_family(Engine& engine, FileDialogs& dialogs)
{
    auto state = std::make_shared<DiskState>();
    auto dialog_box = std::make_shared<DialogBox>(dialogs);
    engine.register_family("disk", [state, dialog_box](Engine& e) -> Result {
        const std::string& group = e.word(1);
        if (group == "dialogbox")
            return dialog_box->handle(e);
        if (group == "file")
            return file_ops(e, *state);
        if (group == "folder")
            return folder_ops(e);
        if (group == "drive")
            return drive_ops(e);
        return e.call_function();
    });
}

} // namespace ruk
