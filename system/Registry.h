// The settings store: registry keys and string values kept in an SQLite database.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ruk {

// The five predefined roots every key hangs under.
enum class RegRoot {
    ClassesRoot = 0,
    CurrentUser = 1,
    LocalMachine = 2,
    Users = 3,
    CurrentConfig = 4,
};

// "HKEY_CURRENT_USER" for RegRoot::CurrentUser, and so on.
const char* root_name(RegRoot root);
// Reads a root's full name or its short form (HKCU, HKLM, HKCR, HKU, HKCC),
// without regard to case.
std::optional<RegRoot> parse_root_name(std::string_view name);

// A tree of keys under each root; every key holds named string values.
//
// Key paths are the key names joined with "\"; empty names (a leading,
// trailing or doubled "\") are dropped, so "\Software\x\" and "Software\x"
// are the same key and the empty path is the root itself, which always
// exists and cannot be deleted. Key names and value names compare without
// regard to the case of ASCII letters: the store keeps a lower-cased path
// for lookup and the name as first written for display. The empty value
// name is an ordinary name (the key's unnamed value).
//
// Every change runs in its own short transaction and is committed before the
// call returns, so a process killed afterwards loses nothing it was told was
// written. The database runs in WAL mode with a busy time-out: several
// engines on one store wait for each other instead of failing, each
// operation for a bounded time (then it fails and says so).
//
// The database is opened at its first use, never by the constructor, so an
// engine whose scripts never touch settings never waits for a busy store.
// Before anything is written the database must be this engine's: marked with
// its application id, or empty, or an unmarked store holding exactly the
// engine's own tables (from before the mark). Any other database is reported
// as unusable and never changed.
//
// A store that cannot be opened or turns out damaged is reported once on
// standard error; from then on reads find nothing and writes fail, so the
// callers answer their defaults. The file itself is left alone for the user
// to repair or remove.
class Registry {
public:
    // Engines wait this long for each other's locks before an operation fails.
    static constexpr int DefaultBusyTimeoutMs = 5000;

    // The store at `path`; its database (and folder) is opened, or created
    // when missing, at the first use.
    explicit Registry(std::string path, int busy_timeout_ms = DefaultBusyTimeoutMs);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Where the store of this user lives: $RUK_REGISTRY when set (a relative
    // one against the folder the process started in), else
    // $XDG_CONFIG_HOME/rukengine/registry.sqlite, else
    // ~/.config/rukengine/registry.sqlite.
    static std::string default_path();

    const std::string& path() const { return m_path; }
    // Opens the store when not yet open; false when it cannot be opened now
    // or has been found unusable.
    bool usable();

    bool key_exists(RegRoot root, std::string_view key);
    // Creates the key and any missing parents. True when it exists afterwards.
    bool create_key(RegRoot root, std::string_view key);
    // Deletes the key with all its sub-keys and values. False when it does
    // not exist, is a root, or the store refused.
    bool delete_key(RegRoot root, std::string_view key);

    // The value's text, or nothing when the key or the value is missing.
    std::optional<std::string> read_value(RegRoot root, std::string_view key, std::string_view name);
    // Writes the value, creating the key (and parents) when missing.
    bool write_value(RegRoot root, std::string_view key, std::string_view name, std::string_view text);
    // Writes several values of one key in one transaction: all or none.
    // With `keep_existing`, values that already exist keep their text.
    bool write_values(RegRoot root, std::string_view key, const std::vector<std::pair<std::string, std::string>>& values,
                      bool keep_existing = false);
    // True when the value existed and was deleted.
    bool delete_value(RegRoot root, std::string_view key, std::string_view name);

    // Names of the direct sub-keys, in lower-cased name order; nothing when
    // the key does not exist.
    std::optional<std::vector<std::string>> list_keys(RegRoot root, std::string_view key);
    // (name, text) of every value, in lower-cased name order; nothing when
    // the key does not exist.
    std::optional<std::vector<std::pair<std::string, std::string>>> list_values(RegRoot root, std::string_view key);

private:
    struct KeyPath;
    enum class Ownership { Ours, UnmarkedOurs, Empty, Foreign, Unknown };
    Ownership ownership(int& rc);
    bool open();
    bool setup();
    sqlite3_stmt* statement(const char* sql);
    bool begin();
    bool commit();
    void rollback();
    bool insert_key_chain(RegRoot root, const KeyPath& key);
    bool lpath_exists(RegRoot root, const std::string& lpath);
    void close_store();
    // Reports a failure of the store on standard error, once; a damaged or
    // unreadable database is closed so that the callers answer defaults.
    void fail(const char* what, int code);

    std::string m_path;
    int m_busy_timeout_ms;
    sqlite3* m_db = nullptr;
    std::vector<std::pair<const char*, sqlite3_stmt*>> m_statements;
    bool m_reported = false;
    // Found damaged: closed before the next statement runs, never under a
    // statement that is still in use.
    bool m_broken = false;
};

} // namespace ruk
