// The few OpenSSL functions behind the self-signed certificate check, opened when first needed.
#include "net/OpenSslLibrary.h"

namespace ruk {

OpenSslLibrary::OpenSslLibrary(const char* soname) : m_library(soname, "self-signed certificates are")
{
}

OpenSslLibrary& OpenSslLibrary::shared()
{
    static OpenSslLibrary library;
    return library;
}

const OpenSslFunctions* OpenSslLibrary::functions()
{
    const bool ok = m_library.open([this](DynamicLibrary& lib) {
        // dlsym on libssl's handle also searches the libcrypto it depends on.
        lib.symbol(m_functions.ctx_set_verify, "SSL_CTX_set_verify");
        lib.symbol(m_functions.ctx_get_verify_mode, "SSL_CTX_get_verify_mode");
        lib.symbol(m_functions.store_get_error, "X509_STORE_CTX_get_error");
        lib.symbol(m_functions.store_set_error, "X509_STORE_CTX_set_error");
    });
    return ok ? &m_functions : nullptr;
}

} // namespace ruk
