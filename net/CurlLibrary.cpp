// libcurl's functions, opened the first time the Internet families need them.
#include "net/CurlLibrary.h"

namespace ruk {

CurlLibrary::CurlLibrary(const char* soname) : m_library(soname, "the Internet families are")
{
}

CurlLibrary& CurlLibrary::shared()
{
    static CurlLibrary library;
    return library;
}

const CurlFunctions* CurlLibrary::functions()
{
    const bool ok = m_library.open([this](DynamicLibrary& lib) {
        CurlFunctions& f = m_functions;
        lib.symbol(f.global_init, "curl_global_init");
        lib.symbol(f.easy_init, "curl_easy_init");
        lib.symbol(f.easy_setopt, "curl_easy_setopt");
        lib.symbol(f.easy_perform, "curl_easy_perform");
        lib.symbol(f.easy_getinfo, "curl_easy_getinfo");
        lib.symbol(f.easy_pause, "curl_easy_pause");
        lib.symbol(f.easy_cleanup, "curl_easy_cleanup");
        lib.symbol(f.multi_init, "curl_multi_init");
        lib.symbol(f.multi_add_handle, "curl_multi_add_handle");
        lib.symbol(f.multi_remove_handle, "curl_multi_remove_handle");
        lib.symbol(f.multi_perform, "curl_multi_perform");
        lib.symbol(f.multi_info_read, "curl_multi_info_read");
        lib.symbol(f.multi_poll, "curl_multi_poll");
        lib.symbol(f.multi_wakeup, "curl_multi_wakeup");
        lib.symbol(f.multi_cleanup, "curl_multi_cleanup");
        lib.symbol(f.slist_append, "curl_slist_append");
        lib.symbol(f.slist_free_all, "curl_slist_free_all");
        lib.symbol(f.url, "curl_url");
        lib.symbol(f.url_set, "curl_url_set");
        lib.symbol(f.url_get, "curl_url_get");
        lib.symbol(f.url_cleanup, "curl_url_cleanup");
        lib.symbol(f.free, "curl_free");
        // Once per process, before any handle exists: the call_once of
        // open() keeps it on one thread.
        if (lib.failure().empty() && f.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            lib.fail("curl_global_init failed");
    });
    return ok ? &m_functions : nullptr;
}

} // namespace ruk
