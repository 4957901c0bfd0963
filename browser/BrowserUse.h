// Whether a package's code names the browser family, decided before the engine's application object exists.
#pragma once

#include <string>
#include <string_view>

namespace ruk {

// WebEngine has to know its page schemes before the application object is
// made, long before the package is unpacked. The engine therefore looks
// once, cheaply, into the code it is about to run: a package's code file
// (and its code libraries), expanded when compressed, or the sources of a
// source file or folder. The browsers are offered when the code names the
// "browser" command word anywhere (a line or a nested command); reading
// fails quietly (false) for anything that is not a readable package.
bool package_uses_browsers(const std::string& path);

// The test on compiled lines as they are stored (every byte complemented).
bool stored_code_uses_browsers(std::string_view stored);
// The test on source text.
bool source_uses_browsers(std::string_view source);

} // namespace ruk
