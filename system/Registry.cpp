// The settings store: registry keys and string values kept in an SQLite database.
#include "system/Registry.h"

#include "core/Text.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace ruk {

namespace {

constexpr const char* RootNames[] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
};
constexpr const char* RootShortNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKCC"};

// Marks a database as this engine's settings store ("RUK1").
constexpr int ApplicationId = 0x52554B31;

// The objects a store made before the mark existed holds, and nothing else.
constexpr const char* OwnObjects[] = {"reg_keys", "reg_keys_parent", "reg_values"};

constexpr const char* Schema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    " root INTEGER NOT NULL, lpath TEXT NOT NULL, lparent TEXT NOT NULL, name TEXT NOT NULL,"
    " PRIMARY KEY(root, lpath)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS reg_keys_parent ON reg_keys(root, lparent);"
    "CREATE TABLE IF NOT EXISTS reg_values("
    " root INTEGER NOT NULL, lkey TEXT NOT NULL, lname TEXT NOT NULL, name TEXT NOT NULL, data TEXT NOT NULL,"
    " PRIMARY KEY(root, lkey, lname)) WITHOUT ROWID;";

std::string home_folder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

void bind(sqlite3_stmt* st, int index, std::string_view text)
{
    sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string column_text(sqlite3_stmt* st, int column)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(st, column))) : std::string();
}

// A statement from the cache, reset and cleared when the scope ends.
class Use {
public:
    explicit Use(sqlite3_stmt* st) : m_st(st) {}
    ~Use()
    {
        if (m_st) {
            sqlite3_reset(m_st);
            sqlite3_clear_bindings(m_st);
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    explicit operator bool() const { return m_st != nullptr; }
    sqlite3_stmt* operator*() const { return m_st; }

private:
    sqlite3_stmt* m_st;
};

bool damaged(int code)
{
    int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_CANTOPEN
        || primary == SQLITE_IOERR || primary == SQLITE_FORMAT;
}

} // namespace

// A key path split into its names: the display names as written and the
// lower-cased paths of the key and its parent that the store looks up.
struct Registry::KeyPath {
    std::vector<std::string> names;
    std::string lpath;
    std::string lparent;

    explicit KeyPath(std::string_view key)
    {
        for (std::string_view name : split_words(key, "\\"))
            names.emplace_back(name);
        for (size_t i = 0; i < names.size(); ++i) {
            if (i + 1 == names.size())
                lparent = lpath;
            if (i)
                lpath += '\\';
            lpath += to_lower(names[i]);
        }
    }
    bool is_root() const { return names.empty(); }
};

const char* root_name(RegRoot root)
{
    return RootNames[static_cast<int>(root)];
}

std::optional<RegRoot> parse_root_name(std::string_view name)
{
    std::string lower = to_lower(name);
    for (int i = 0; i < 5; ++i)
        if (lower == to_lower(RootNames[i]) || lower == to_lower(RootShortNames[i]))
            return static_cast<RegRoot>(i);
    return std::nullopt;
}

Registry::Registry(std::string path, int busy_timeout_ms) : m_path(std::move(path)), m_busy_timeout_ms(busy_timeout_ms)
{
}

Registry::~Registry()
{
    close_store();
}

namespace {

// The folder the process was started in, taken before anything can change
// directory (the engine enters its working folder early). A relative
// $RUK_REGISTRY is made absolute against it, in the environment too, so that
// engines started from this one find the same store.
std::string capture_start_folder()
{
    std::error_code ec;
    std::string folder = std::filesystem::current_path(ec).string();
    if (const char* env = std::getenv("RUK_REGISTRY"); env && *env && *env != '/' && !folder.empty())
        ::setenv("RUK_REGISTRY", (std::filesystem::path(folder) / env).lexically_normal().c_str(), 1);
    return folder;
}

const std::string g_start_folder = capture_start_folder();

} // namespace

std::string Registry::default_path()
{
    if (const char* env = std::getenv("RUK_REGISTRY"); env && *env) {
        if (*env == '/' || g_start_folder.empty())
            return env;
        return (std::filesystem::path(g_start_folder) / env).lexically_normal().string();
    }
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        config = xdg;
    else
        config = home_folder() + "/.config";
    return config + "/rukengine/registry.sqlite";
}

bool Registry::usable()
{
    return open() && !m_broken;
}

bool Registry::open()
{
    if (m_db)
        return true;
    if (m_broken)
        return false;
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    int rc = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        fail("cannot be opened", rc);
        close_store();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, m_busy_timeout_ms);
    if (!setup()) {
        close_store();
        return false;
    }
    return true;
}

// What the open database is: this engine's store, an empty file to make one
// of, or something else. Reads only.
Registry::Ownership Registry::ownership(int& rc)
{
    int id = 0;
    std::vector<std::string> names;
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(m_db, "PRAGMA application_id", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            id = sqlite3_column_int(st, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        return Ownership::Unknown;
    rc = sqlite3_prepare_v2(m_db, "SELECT name FROM sqlite_master", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            names.push_back(column_text(st, 0));
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return Ownership::Unknown;
    rc = SQLITE_OK;
    if (id == ApplicationId)
        return Ownership::Ours;
    if (id != 0)
        return Ownership::Foreign;
    if (names.empty())
        return Ownership::Empty;
    for (const std::string& name : names) {
        bool own = false;
        for (const char* known : OwnObjects)
            own = own || name == known;
        if (!own)
            return Ownership::Foreign;
    }
    // A store of ours from before the mark: every object is one of ours.
    return names.size() == std::size(OwnObjects) ? Ownership::UnmarkedOurs : Ownership::Foreign;
}

// Checks that the database is ours (or empty) before anything is written,
// then switches it to WAL and makes the tables and the mark. A busy store
// (another process holds a lock) is tried again for at most the busy
// time-out in all; it is then reported and tried again at the next use.
bool Registry::setup()
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_busy_timeout_ms);
    int rc = SQLITE_OK;
    for (;;) {
        Ownership owner = ownership(rc);
        if (owner == Ownership::Foreign) {
            fail("is not a settings store of this engine (another program's database)", SQLITE_NOTADB);
            m_broken = true;
            return false;
        }
        if (owner == Ownership::Ours) {
            rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK)
                return true;
        } else if (owner != Ownership::Unknown) {
            rc = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN IMMEDIATE;", nullptr,
                              nullptr, nullptr);
            if (rc == SQLITE_OK) {
                // Another engine may have made the store meanwhile: look again
                // under the write lock before writing.
                int again = SQLITE_OK;
                Ownership now = ownership(again);
                if (now == Ownership::Foreign) {
                    sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
                    continue; // reported as foreign on the next pass
                }
                if (now == Ownership::Unknown) {
                    rc = again;
                } else {
                    std::string sql = std::string(Schema) + "PRAGMA application_id=" + std::to_string(ApplicationId) + ";";
                    rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
                    if (rc == SQLITE_OK)
                        rc = sqlite3_exec(m_db, "COMMIT;", nullptr, nullptr, nullptr);
                    if (rc == SQLITE_OK)
                        return true;
                }
                sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
            }
        }
        if (((rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED) || std::chrono::steady_clock::now() >= give_up)
            break;
        ::usleep(50000);
    }
    fail("cannot be opened", rc);
    return false;
}

void Registry::fail(const char* what, int code)
{
    if (!m_reported) {
        m_reported = true;
        std::fprintf(stderr, "rukengine: the settings store %s %s (%s); settings answer their defaults\n",
                     m_path.c_str(), what, sqlite3_errstr(code));
    }
    // A busy store or a full disk may pass; a damaged file will not.
    if (damaged(code))
        m_broken = true;
}

void Registry::close_store()
{
    for (auto& [sql, st] : m_statements)
        sqlite3_finalize(st);
    m_statements.clear();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

sqlite3_stmt* Registry::statement(const char* sql)
{
    if (m_broken)
        close_store();
    if (!open())
        return nullptr;
    for (auto& [text, st] : m_statements)
        if (text == sql)
            return st;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) {
        fail("cannot be read", rc);
        return nullptr;
    }
    m_statements.emplace_back(sql, st);
    return st;
}

bool Registry::begin()
{
    if (m_broken)
        close_store();
    if (!open())
        return false;
    int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail("refused a change", rc);
        return false;
    }
    return true;
}

bool Registry::commit()
{
    if (!m_db)
        return false;
    int rc = sqlite3_exec(m_db, "COMMIT;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        rollback();
        fail("refused a change", rc);
        return false;
    }
    return true;
}

void Registry::rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
}

bool Registry::lpath_exists(RegRoot root, const std::string& lpath)
{
    if (lpath.empty())
        return usable();
    Use st(statement("SELECT 1 FROM reg_keys WHERE root=?1 AND lpath=?2"));
    if (!st)
        return false;
    sqlite3_bind_int(*st, 1, static_cast<int>(root));
    bind(*st, 2, lpath);
    int rc = sqlite3_step(*st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail("cannot be read", rc);
    return rc == SQLITE_ROW;
}

bool Registry::key_exists(RegRoot root, std::string_view key)
{
    return lpath_exists(root, KeyPath(key).lpath);
}

// Inserts the key and every missing parent, inside the caller's transaction.
bool Registry::insert_key_chain(RegRoot root, const KeyPath& key)
{
    Use st(statement("INSERT OR IGNORE INTO reg_keys(root, lpath, lparent, name) VALUES(?1, ?2, ?3, ?4)"));
    if (!st)
        return false;
    std::string lpath;
    for (const auto& name : key.names) {
        std::string lparent = lpath;
        if (!lpath.empty())
            lpath += '\\';
        lpath += to_lower(name);
        sqlite3_bind_int(*st, 1, static_cast<int>(root));
        bind(*st, 2, lpath);
        bind(*st, 3, lparent);
        bind(*st, 4, name);
        int rc = sqlite3_step(*st);
        sqlite3_reset(*st);
        if (rc != SQLITE_DONE) {
            fail("refused a change", rc);
            return false;
        }
    }
    return true;
}

bool Registry::create_key(RegRoot root, std::string_view key)
{
    KeyPath path(key);
    if (path.is_root())
        return usable();
    if (!begin())
        return false;
    if (!insert_key_chain(root, path)) {
        rollback();
        return false;
    }
    return commit();
}

bool Registry::delete_key(RegRoot root, std::string_view key)
{
    KeyPath path(key);
    if (path.is_root() || !begin())
        return false;
    // The key itself, then everything whose path starts with its path and
    // "\": those sort between path + "\" and path + "]".
    const char* sql[] = {
        "DELETE FROM reg_keys WHERE root=?1 AND (lpath=?2 OR (lpath>?3 AND lpath<?4))",
        "DELETE FROM reg_values WHERE root=?1 AND (lkey=?2 OR (lkey>?3 AND lkey<?4))",
    };
    bool deleted = false;
    for (int i = 0; i < 2; ++i) {
        Use st(statement(sql[i]));
        if (!st) {
            rollback();
            return false;
        }
        sqlite3_bind_int(*st, 1, static_cast<int>(root));
        bind(*st, 2, path.lpath);
        bind(*st, 3, path.lpath + "\\");
        bind(*st, 4, path.lpath + "]");
        int rc = sqlite3_step(*st);
        if (rc != SQLITE_DONE) {
            rollback();
            fail("refused a change", rc);
            return false;
        }
        if (i == 0)
            deleted = sqlite3_changes(m_db) > 0;
    }
    if (!deleted) {
        rollback();
        return false;
    }
    return commit();
}

std::optional<std::string> Registry::read_value(RegRoot root, std::string_view key, std::string_view name)
{
    Use st(statement("SELECT data FROM reg_values WHERE root=?1 AND lkey=?2 AND lname=?3"));
    if (!st)
        return std::nullopt;
    sqlite3_bind_int(*st, 1, static_cast<int>(root));
    bind(*st, 2, KeyPath(key).lpath);
    bind(*st, 3, to_lower(name));
    int rc = sqlite3_step(*st);
    if (rc == SQLITE_ROW)
        return column_text(*st, 0);
    if (rc != SQLITE_DONE)
        fail("cannot be read", rc);
    return std::nullopt;
}

bool Registry::write_value(RegRoot root, std::string_view key, std::string_view name, std::string_view text)
{
    return write_values(root, key, {{std::string(name), std::string(text)}});
}

bool Registry::write_values(RegRoot root, std::string_view key,
                            const std::vector<std::pair<std::string, std::string>>& values, bool keep_existing)
{
    KeyPath path(key);
    if (!begin())
        return false;
    if (!insert_key_chain(root, path)) {
        rollback();
        return false;
    }
    // A value keeps the letter case of its name as first written.
    Use st(statement(keep_existing
                         ? "INSERT OR IGNORE INTO reg_values(root, lkey, lname, name, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                         : "INSERT INTO reg_values(root, lkey, lname, name, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                           " ON CONFLICT(root, lkey, lname) DO UPDATE SET data=excluded.data"));
    if (!st) {
        rollback();
        return false;
    }
    for (const auto& [name, text] : values) {
        sqlite3_bind_int(*st, 1, static_cast<int>(root));
        bind(*st, 2, path.lpath);
        bind(*st, 3, to_lower(name));
        bind(*st, 4, name);
        bind(*st, 5, text);
        int rc = sqlite3_step(*st);
        sqlite3_reset(*st);
        if (rc != SQLITE_DONE) {
            rollback();
            fail("refused a change", rc);
            return false;
        }
    }
    return commit();
}

bool Registry::delete_value(RegRoot root, std::string_view key, std::string_view name)
{
    Use st(statement("DELETE FROM reg_values WHERE root=?1 AND lkey=?2 AND lname=?3"));
    if (!st)
        return false;
    sqlite3_bind_int(*st, 1, static_cast<int>(root));
    bind(*st, 2, KeyPath(key).lpath);
    bind(*st, 3, to_lower(name));
    // A single statement outside a transaction commits on its own.
    int rc = sqlite3_step(*st);
    if (rc != SQLITE_DONE) {
        fail("refused a change", rc);
        return false;
    }
    return sqlite3_changes(m_db) > 0;
}

std::optional<std::vector<std::string>> Registry::list_keys(RegRoot root, std::string_view key)
{
    KeyPath path(key);
    if (!lpath_exists(root, path.lpath))
        return std::nullopt;
    Use st(statement("SELECT name FROM reg_keys WHERE root=?1 AND lparent=?2 AND lpath<>'' ORDER BY lpath"));
    if (!st)
        return std::nullopt;
    sqlite3_bind_int(*st, 1, static_cast<int>(root));
    bind(*st, 2, path.lpath);
    std::vector<std::string> names;
    int rc;
    while ((rc = sqlite3_step(*st)) == SQLITE_ROW)
        names.push_back(column_text(*st, 0));
    if (rc != SQLITE_DONE) {
        fail("cannot be read", rc);
        return std::nullopt;
    }
    return names;
}

std::optional<std::vector<std::pair<std::string, std::string>>> Registry::list_values(RegRoot root,
                                                                                    std::string_view key)
{
    KeyPath path(key);
    if (!lpath_exists(root, path.lpath))
        return std::nullopt;
    Use st(statement("SELECT name, data FROM reg_values WHERE root=?1 AND lkey=?2 ORDER BY lname"));
    if (!st)
        return std::nullopt;
    sqlite3_bind_int(*st, 1, static_cast<int>(root));
    bind(*st, 2, path.lpath);
    std::vector<std::pair<std::string, std::string>> values;
    int rc;
    while ((rc = sqlite3_step(*st)) == SQLITE_ROW)
        values.emplace_back(column_text(*st, 0), column_text(*st, 1));
    if (rc != SQLITE_DONE) {
        fail("cannot be read", rc);
        return std::nullopt;
    }
    return values;
}

} // namespace ruk
