// The "ruk" family: scripts build, inspect and unpack packages and compile source lines.
#pragma once

namespace ruk {

class Engine;
struct HostState;
struct Session;

// Registers "ruk". The running package's header is `session.header` (ids and
// texts, and the family id the settings keys use) together with
// `state.running_family_id`; both must outlive the engine's handler table.
void register_ruk_family(Engine& engine, HostState& state, Session& session);

} // namespace ruk
