#pragma once

// Prepares the embedded browser's engine, before the application object exists.
// Chromium refuses to start for the root user unless its sandbox is switched
// off, so it is switched off then, and only then.
void PrepareWebEngine();
