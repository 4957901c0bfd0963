// Options every libcurl handle of the engine shares: protocols, HTTP version, certificate checks.
#include "net/CurlSetup.h"

#include "net/OpenSslLibrary.h"

namespace ruk {

namespace {

// Called by OpenSSL for each step of the chain check. A certificate that
// signs itself is forgiven; every other fault (dates, signatures, an unknown
// issuer) still fails. The error is cleared so that libcurl, which reads the
// verification result after the handshake, sees the chain as good.
// Installed only once OpenSSL's functions are loaded.
int forgive_self_signed(int ok, X509_STORE_CTX* store)
{
    if (ok)
        return 1;
    const OpenSslFunctions* ssl = OpenSslLibrary::shared().functions();
    const int error = ssl->store_get_error(store);
    if (error == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT || error == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN) {
        ssl->store_set_error(store, X509_V_OK);
        return 1;
    }
    return 0;
}

CURLcode setup_tls_context(CURL*, void* context, void*)
{
    const OpenSslFunctions* ssl = OpenSslLibrary::shared().functions();
    auto* tls = static_cast<SSL_CTX*>(context);
    ssl->ctx_set_verify(tls, ssl->ctx_get_verify_mode(tls), forgive_self_signed);
    return CURLE_OK;
}

} // namespace

void apply_common_options(const CurlFunctions& curl, CURL* easy, bool allow_self_signed)
{
    curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl.easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl.easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl.easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (allow_self_signed && OpenSslLibrary::shared().functions()) {
        curl.easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, setup_tls_context);
        // A connection or TLS session accepted this way is never kept for a
        // later transfer, which might no longer trust the host.
        curl.easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl.easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    }
}

} // namespace ruk
