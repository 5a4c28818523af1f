#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

bool Install(QCoreApplication& app, const QString& catalogue) {
    auto* translator = new QTranslator(&app);
    // The program's texts are Korean on every desktop, so Qt's are too.
    if (!translator->load(QLocale(QLocale::Korean, QLocale::SouthKorea), catalogue,
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace

bool InstallQtTranslations(QCoreApplication& app) {
    const bool base = Install(app, QStringLiteral("qtbase"));
    Install(app, QStringLiteral("qtwebengine"));
    return base;
}
