#pragma once

// A listening TCP socket on 127.0.0.1 with an ephemeral port, for the tests'
// hand-made servers; `port` is set to the port. Throws naming `server` when the
// socket cannot listen.
int ListenOnLoopback(int& port, const char* server);
