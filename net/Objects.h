// The "inet" and "http" families: Internet sessions, requests, downloads and connection state for scripts.
#pragma once

namespace ruk {

class Engine;
class Registry;

// Registers "inet" and "http". The settings store keeps offline mode and the
// hosts trusted with self-signed certificates for every engine of the user;
// without one (tests) they last as long as the engine. The store, when given,
// must outlive the engine.
void register_inet_families(Engine& engine, Registry* settings);

} // namespace ruk
