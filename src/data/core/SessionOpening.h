#pragma once
// Opening a session without freezing the window. With a CommandWait the provider's login
// runs on a thread of its own while the wait shows it and offers a stop. A stop gives
// the attempt up: the caller goes on at once (LoginStopped) and the thread, which owns
// everything it uses, ends within the login's own timeout and frees what it made.
#include "data/core/ProviderSession.h"
#include <memory>

namespace data {

class CommandWait;
class ConnectionString;

std::unique_ptr<ProviderSession> openSessionWaiting(ProviderFactory open, const ConnectionString &cs,
                                                    CommandWait *wait);

// True on the thread of a login the person gave up: a provider that waits while it
// opens (SQLite's wait for a locked file) stops waiting.
bool openingAbandoned();

} // namespace data
