// Drive letters for the mounted file systems, their types, labels and space.
#include "system/DriveMap.h"

#include "core/Text.h"
#include "core/VarStore.h"
#include "host/FileIo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace ruk::disk {

namespace {

// Octal escapes (\040 for a blank) of /proc/self/mountinfo undone.
std::string unescape_mount_field(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i >= 4) {
            bool octal = true;
            int value = 0;
            for (size_t k = 1; k <= 3; ++k) {
                char c = text[i + k];
                if (c < '0' || c > '7')
                    octal = false;
                value = value * 8 + (c - '0');
            }
            if (octal && value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool is_drive_mount_point(std::string_view mount_point)
{
    for (std::string_view base : {std::string_view("/media"), std::string_view("/mnt")}) {
        if (mount_point == base)
            return true;
        if (mount_point.size() > base.size() && mount_point.substr(0, base.size()) == base
            && mount_point[base.size()] == '/')
            return true;
    }
    return false;
}

// "\x20"-style escapes of /dev/disk/by-label names undone.
std::string unescape_label(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(text[i + 2]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace

DriveMap DriveMap::current()
{
    return from_mountinfo(read_whole_file("/proc/self/mountinfo").value_or(std::string()));
}

DriveMap DriveMap::from_mountinfo(std::string_view text)
{
    Drive root {'C', "/", "", "", 0, 0};
    std::vector<Drive> others;
    for (std::string_view line : split_pieces(text, '\n')) {
        std::vector<std::string_view> fields = split_words(line, " ");
        // id parent major:minor root mount-point options [optional...] - type source options
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (fields.size() < 5 || dash + 1 >= fields.size())
            continue;
        Drive drive;
        drive.root = unescape_mount_field(fields[4]);
        drive.fs_type = std::string(fields[dash + 1]);
        drive.source = dash + 2 < fields.size() ? unescape_mount_field(fields[dash + 2]) : std::string();
        unsigned major = 0, minor = 0;
        if (std::sscanf(std::string(fields[2]).c_str(), "%u:%u", &major, &minor) == 2) {
            drive.major = major;
            drive.minor = minor;
        }
        if (drive.root == "/") {
            // The last mount on "/" is the one that is seen.
            drive.letter = 'C';
            root = drive;
        } else if (is_drive_mount_point(drive.root)) {
            auto same = std::find_if(others.begin(), others.end(), [&](const Drive& d) { return d.root == drive.root; });
            if (same != others.end())
                *same = drive; // mounted over: keeps its letter, shows the new file system
            else
                others.push_back(drive);
        }
    }
    DriveMap map;
    map.m_drives.push_back(root);
    char letter = 'D';
    for (Drive& drive : others) {
        if (letter > 'Z')
            break;
        drive.letter = letter++;
        map.m_drives.push_back(drive);
    }
    return map;
}

const Drive* DriveMap::find(char letter) const
{
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const Drive& drive : m_drives)
        if (drive.letter == upper)
            return &drive;
    return nullptr;
}

std::string DriveMap::letters() const
{
    std::string out;
    for (const Drive& drive : m_drives) {
        if (!out.empty())
            out += ListSeparator;
        out += drive.letter;
    }
    return out;
}

std::string drive_type_name(std::string_view fs_type, bool removable_device)
{
    static constexpr std::string_view network[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p",
        "ceph", "coda", "glusterfs", "lustre", "davfs", "sshfs", "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2",
        "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.cephfs"};
    if (fs_type.empty() || fs_type == "autofs")
        return "Unknown";
    if (std::find(std::begin(network), std::end(network), fs_type) != std::end(network))
        return "Network";
    if (fs_type == "iso9660" || fs_type == "udf")
        return "CD-Rom";
    if (fs_type == "tmpfs" || fs_type == "ramfs")
        return "RamDisk";
    return removable_device ? "Removable" : "Hard disk";
}

bool block_device_removable(unsigned major, unsigned minor)
{
    if (major == 0)
        return false;
    std::string link = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    char* real = ::realpath(link.c_str(), nullptr);
    if (!real)
        return false;
    std::string device = real;
    std::free(real);
    if (device.find("/usb") != std::string::npos)
        return true;
    struct stat st {};
    if (::stat((device + "/partition").c_str(), &st) == 0)
        device = device.substr(0, device.rfind('/'));
    auto flag = read_whole_file(device + "/removable");
    return flag && !flag->empty() && (*flag)[0] == '1';
}

std::string volume_label(unsigned major, unsigned minor)
{
    if (major == 0)
        return std::string();
    const std::string folder = "/dev/disk/by-label";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return std::string();
    std::string label;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::stat(join_path(folder, name).c_str(), &st) == 0 && S_ISBLK(st.st_mode)
            && st.st_rdev == makedev(major, minor)) {
            label = unescape_label(name);
            break;
        }
    }
    ::closedir(dir);
    return label;
}

bool drive_present(const Drive& drive)
{
    struct stat st {};
    return ::stat(drive.root.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<DriveSpace> drive_space(const Drive& drive)
{
    struct statvfs fs {};
    if (::statvfs(drive.root.c_str(), &fs) != 0)
        return std::nullopt;
    DriveSpace space;
    space.total_bytes = static_cast<uint64_t>(fs.f_blocks) * static_cast<uint64_t>(fs.f_frsize);
    space.free_bytes = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
    return space;
}

} // namespace ruk::disk
