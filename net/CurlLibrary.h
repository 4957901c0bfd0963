// libcurl's functions, opened the first time the Internet families need them.
#pragma once

#include "system/DynamicLibrary.h"

#include <curl/curl.h>

namespace ruk {

// The libcurl functions the engine calls, each with libcurl's own signature.
struct CurlFunctions {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_pause) easy_pause = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_multi_init) multi_init = nullptr;
    decltype(&curl_multi_add_handle) multi_add_handle = nullptr;
    decltype(&curl_multi_remove_handle) multi_remove_handle = nullptr;
    decltype(&curl_multi_perform) multi_perform = nullptr;
    decltype(&curl_multi_info_read) multi_info_read = nullptr;
    decltype(&curl_multi_poll) multi_poll = nullptr;
    decltype(&curl_multi_wakeup) multi_wakeup = nullptr;
    decltype(&curl_multi_cleanup) multi_cleanup = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_set) url_set = nullptr;
    decltype(&curl_url_get) url_get = nullptr;
    decltype(&curl_url_cleanup) url_cleanup = nullptr;
    decltype(&curl_free) free = nullptr;
};

// libcurl, opened and initialised for the process on the first call of
// functions(), from any thread.
class CurlLibrary {
public:
    static constexpr const char* DefaultName = "libcurl.so.4";

    explicit CurlLibrary(const char* soname = DefaultName);
    // The process's one libcurl, not opened until someone asks.
    static CurlLibrary& shared();

    // The function table, or nullptr when libcurl cannot be loaded (said once).
    const CurlFunctions* functions();

private:
    DynamicLibrary m_library;
    CurlFunctions m_functions;
};

} // namespace ruk
