#pragma once

// libcurl's process-wide set-up must run once before any handle is made; every
// curl user in the program calls this first.
void EnsureCurlGlobalInit();
