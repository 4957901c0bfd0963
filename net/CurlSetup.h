// Options every libcurl handle of the engine shares: protocols, HTTP version, certificate checks.
#pragma once

#include "net/CurlLibrary.h"

namespace ruk {

// Sets the options every transfer and probe of the engine uses:
//  - only HTTP, HTTPS and FTP (a URL can never read local files), redirects
//    only to HTTP and HTTPS;
//  - HTTP/1.1, so that responses carry their status text;
//  - no signals (handles are used on worker threads);
//  - certificates verified against the system's trusted roots, for the
//    host's name and within their dates; with `allow_self_signed` a
//    certificate that signs itself is accepted as well (name and dates are
//    still checked);
//  - proxies from the usual environment variables (libcurl reads them).
//  When OpenSSL cannot be loaded a self-signed certificate is refused as
//  without `allow_self_signed`.
void apply_common_options(const CurlFunctions& curl, CURL* easy, bool allow_self_signed);

} // namespace ruk
