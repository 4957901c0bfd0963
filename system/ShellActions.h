// The desktop's shell actions: open a program, document, folder or address; print; explore.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ruk {

class ProcessSlots;

// Result codes of the open action, as scripts know them: above 32 is success.
inline constexpr int ShellOk = 42;
inline constexpr int ShellFileNotFound = 2;
inline constexpr int ShellPathNotFound = 3;
inline constexpr int ShellAccessDenied = 5;
inline constexpr int ShellOutOfMemory = 8;
inline constexpr int ShellNoAssociation = 31;

// Paths are native already (the caller applied the script path rules). A
// program started here is handed to `processes`, which reaps it when it
// ends. Failures of the system's own calls leave their errno in `last_error`.
class ShellActions {
public:
    ShellActions(ProcessSlots& processes, int& last_error) : m_processes(processes), m_last_error(last_error) {}

    // A program runs with the arguments (a command-line text); a folder, a
    // document or an address opens in the desktop's application for it
    // (xdg-open). `folder`, when not empty, must exist and is where the
    // program starts and where a relative target is also looked for.
    int open(const std::string& target, const std::string& arguments, const std::string& folder);
    // Hands a target to the desktop's opener.
    int open_with_desktop(const std::string& target, const std::string& folder);
    // Sends a document to the printer (lp) when both exist.
    void print(const std::string& document, const std::string& folder);
    // Opens a folder in the desktop's file manager.
    void explore(const std::string& folder);

    // "http:", "mailto:" and the like; one letter and a colon is a drive.
    static bool is_url(std::string_view text);

private:
    // The file found from the current folder, then from `folder`.
    std::optional<std::filesystem::path> locate(const std::string& name, const std::string& folder);
    void note_error(int code) { m_last_error = code; }

    ProcessSlots& m_processes;
    int& m_last_error;
};

} // namespace ruk
