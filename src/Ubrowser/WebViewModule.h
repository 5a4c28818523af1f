#pragma once

#include <QString>

class IWebViewFactory;

// The browser module of a program whose executable lies in `executableDir`:
// lib/zurav3/ beside the executable's folder, in the build tree as in an
// installed copy (bin/ZURav3, lib/zurav3/).
QString WebViewModulePath(const QString& executableDir);

// Loads the browser module at `path`; the module stays loaded for the life of
// the process. Throws std::runtime_error, naming the file and the reason, when
// it cannot be loaded or is not a browser module.
IWebViewFactory& LoadWebViewModule(const QString& path);
