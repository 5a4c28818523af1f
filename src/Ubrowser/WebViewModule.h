#pragma once

#include <QString>
#include <QStringList>

class IWebViewFactory;

// The files the browser module of a program whose executable lies in
// `executableDir` is looked for in, in order: the module folder beside the
// executable's folder (the build tree, an installed copy wherever its prefix
// was moved: bin/ZURav3, lib/zurav3/ or lib/<multiarch>/zurav3/), then the
// module folder of the prefix the program was built for, which a copy of the
// executable placed on its own still finds.
QStringList WebViewModuleCandidates(const QString& executableDir);

// Loads the first of `candidates` that exists; the module stays loaded for the
// life of the process. Throws std::runtime_error naming the file and the
// reason when it cannot be loaded or is not a browser module, and naming every
// candidate when none exists.
IWebViewFactory& LoadWebViewModule(const QStringList& candidates);
