// Drive letters for the mounted file systems, their types, labels and space.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruk::disk {

// A drive letter and the file system it stands for. "C" is the root file
// system; file systems mounted at or under /media and /mnt take D, E, ... in
// the order they were mounted.
struct Drive {
    char letter = 0;
    std::string root;       // mount point
    std::string fs_type;    // "ext4", "nfs4", "tmpfs", ...
    std::string source;     // the mounted device or share
    unsigned major = 0;     // device numbers, 0:N for virtual file systems
    unsigned minor = 0;
};

class DriveMap {
public:
    // The drives of the running system, from /proc/self/mountinfo.
    static DriveMap current();
    // The drives a mountinfo text describes; lines it cannot read are skipped.
    static DriveMap from_mountinfo(std::string_view text);

    const Drive* find(char letter) const;
    const std::vector<Drive>& drives() const { return m_drives; }
    // "C^^D^^..." in ascending order.
    std::string letters() const;

private:
    std::vector<Drive> m_drives;
};

// The drive type a script sees for a file-system type: "Network", "CD-Rom",
// "RamDisk", "Removable" (a local file system on a removable device), "Hard
// disk" (other local ones) or "Unknown".
std::string drive_type_name(std::string_view fs_type, bool removable_device);
// Whether the block device is removable or sits on USB, from /sys.
bool block_device_removable(unsigned major, unsigned minor);
// The label of the block device, from /dev/disk/by-label; empty when none.
std::string volume_label(unsigned major, unsigned minor);

// Whether the drive's root is a folder that can be looked at now.
bool drive_present(const Drive& drive);

struct DriveSpace {
    uint64_t total_bytes = 0;
    uint64_t free_bytes = 0;  // what an ordinary user may still fill
};
// The size and free space of the drive's file system; nothing when it
// cannot be asked.
std::optional<DriveSpace> drive_space(const Drive& drive);

} // namespace ruk::disk
