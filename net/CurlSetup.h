// Options every libcurl handle of the engine shares: protocols, HTTP version, certificate checks.
#pragma once

#include <curl/curl.h>

namespace ruk {

// Initialises libcurl for the process, once, whichever thread asks first.
void init_curl_once();

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
void apply_common_options(CURL* easy, bool allow_self_signed);

} // namespace ruk
