// The few OpenSSL functions behind the self-signed certificate check, opened when first needed.
#pragma once

#include "system/DynamicLibrary.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace ruk {

struct OpenSslFunctions {
    decltype(&SSL_CTX_set_verify) ctx_set_verify = nullptr;
    decltype(&SSL_CTX_get_verify_mode) ctx_get_verify_mode = nullptr;
    decltype(&X509_STORE_CTX_get_error) store_get_error = nullptr;
    decltype(&X509_STORE_CTX_set_error) store_set_error = nullptr;
};

// libssl (with the libcrypto it brings), the same one libcurl uses for TLS,
// so opening it once libcurl is loaded maps nothing new.
class OpenSslLibrary {
public:
    static constexpr const char* DefaultName = "libssl.so.3";

    explicit OpenSslLibrary(const char* soname = DefaultName);
    static OpenSslLibrary& shared();

    // The function table, or nullptr when libssl cannot be loaded (said once).
    const OpenSslFunctions* functions();

private:
    DynamicLibrary m_library;
    OpenSslFunctions m_functions;
};

} // namespace ruk
