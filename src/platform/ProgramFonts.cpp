#include "ProgramFonts.h"

#include <QFont>
#include <QStringList>

void ApplyProgramFonts() {
    QFont::insertSubstitutions(
        QStringLiteral("Tahoma"),
        QStringList{QStringLiteral("NanumGothic"), QStringLiteral("DejaVu Sans")});
}
