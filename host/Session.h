// One run of a package: its working folder, its code file and its clean-up.
#pragma once

#include "host/Package.h"

#include <string>

namespace ruk {

class Random;

// Creates a folder that every user may add to, as /tmp (mode 1777).
void make_shared_folder(const std::string& path);

// The name of a package or source path: its file or folder name without the
// extension ("games/Demo.ruk" and "games/demo/" give "Demo" and "demo").
std::string package_name_of(const std::string& path);

// What start-up learns about the package it runs, and what shutdown needs.
struct Session {
    std::string package_path;    // as given, letter case kept
    std::string package_name;    // file name without folder and extension
    std::string working_folder;  // ends in "/"
    PackageHeader header;        // ids and texts of the package read
    bool keep_folder = false;    // leave the working folder on disk at exit

    // The temporary root of every engine: $TMPDIR (or /tmp) + "/rukreader/".
    static std::string temp_root();
    // Creates the temporary root when missing. Engines of every user share
    // it, so it is made like /tmp itself: everyone may create entries, and
    // only their owners may remove them.
    static void prepare_temp_root();

    // Unpacks the package into a new working folder. `hold_semaphores` runs
    // once the header is read (the instance counting of the package and its
    // family). Returns false when the package cannot be read.
    bool unpack(Random& random, const std::function<void(const PackageHeader&)>& hold_semaphores);

    // Appends "_identity.lib" and then "_identity2.lib", when present, to the
    // working folder's "identity.qexe" and returns the code file's path.
    std::string prepare_code() const;

    // Deletes the plain files of the working folder (retrying a file that
    // resists), then the folder itself; sub-folders are left alone. Returns
    // false when something stayed.
    bool delete_working_folder() const;
};

} // namespace ruk
