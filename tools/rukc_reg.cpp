// rukc reg: lists, reads, writes and deletes keys and values of the settings store.
#include "tools/Commands.h"

#include "system/Registry.h"

#include <cstdio>
#include <optional>
#include <string>

namespace rukc {

namespace {

constexpr const char* Usage =
    "usage: rukc reg list KEY\n"
    "       rukc reg get KEY VALUE\n"
    "       rukc reg set KEY [VALUE TEXT]\n"
    "       rukc reg delete KEY [VALUE]\n"
    "KEY starts with its root (HKEY_CURRENT_USER or HKCU, HKEY_LOCAL_MACHINE or HKLM,\n"
    "HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG), e.g.\n"
    "HKEY_CURRENT_USER\\Software\\rukreader\\[Shared]. The store is $RUK_REGISTRY,\n"
    "else $XDG_CONFIG_HOME/rukengine/registry.sqlite.\n";

struct KeyName {
    ruk::RegRoot root;
    std::string path;
};

// Splits "ROOT\path" into the root and the path below it.
std::optional<KeyName> parse_key(const std::string& text)
{
    size_t slash = text.find('\\');
    std::string root = text.substr(0, slash);
    std::optional<ruk::RegRoot> parsed = ruk::parse_root_name(root);
    if (!parsed)
        return std::nullopt;
    return KeyName{*parsed, slash == std::string::npos ? std::string() : text.substr(slash + 1)};
}

} // namespace

int cmd_reg(const Args& args)
{
    if (args.size() < 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const std::string& op = args[0];
    const size_t max_args = op == "list" ? 2 : op == "get" ? 3 : op == "set" ? 4 : op == "delete" ? 3 : 0;
    const size_t min_args = op == "get" ? 3 : 2;
    if (max_args == 0 || args.size() > max_args || args.size() < min_args || (op == "set" && args.size() == 3)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    std::optional<KeyName> key = parse_key(args[1]);
    if (!key) {
        std::fprintf(stderr, "rukc reg: '%s' does not start with a registry root such as HKEY_CURRENT_USER\n",
                     args[1].c_str());
        return 2;
    }
    ruk::Registry registry(ruk::Registry::default_path());
    if (!registry.usable())
        return 1; // the store said why on standard error
    const std::string shown = args[1];

    if (op == "list") {
        auto keys = registry.list_keys(key->root, key->path);
        auto values = registry.list_values(key->root, key->path);
        if (!keys || !values) {
            std::fprintf(stderr, "rukc reg: no key %s\n", shown.c_str());
            return 1;
        }
        for (const auto& name : *keys)
            std::printf("%s\\\n", name.c_str());
        for (const auto& [name, text] : *values)
            std::printf("%s=%s\n", name.empty() ? "@" : name.c_str(), text.c_str());
        return 0;
    }
    if (op == "get") {
        std::optional<std::string> text = registry.read_value(key->root, key->path, args[2]);
        if (!text) {
            std::fprintf(stderr, "rukc reg: no value '%s' in %s\n", args[2].c_str(), shown.c_str());
            return 1;
        }
        std::fwrite(text->data(), 1, text->size(), stdout);
        std::fputc('\n', stdout);
        return 0;
    }
    if (op == "set") {
        bool ok = args.size() == 4 ? registry.write_value(key->root, key->path, args[2], args[3])
                                   : registry.create_key(key->root, key->path);
        if (!ok) {
            std::fprintf(stderr, "rukc reg: cannot write to %s\n", shown.c_str());
            return 1;
        }
        return 0;
    }
    // delete
    if (args.size() == 3) {
        if (!registry.delete_value(key->root, key->path, args[2])) {
            std::fprintf(stderr, "rukc reg: no value '%s' in %s\n", args[2].c_str(), shown.c_str());
            return 1;
        }
        return 0;
    }
    if (key->path.find_first_not_of('\\') == std::string::npos) {
        std::fprintf(stderr, "rukc reg: a root cannot be deleted\n");
        return 1;
    }
    if (!registry.delete_key(key->root, key->path)) {
        std::fprintf(stderr, "rukc reg: no key %s\n", shown.c_str());
        return 1;
    }
    return 0;
}

} // namespace rukc
