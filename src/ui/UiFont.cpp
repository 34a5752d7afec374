// Choosing a Japanese-capable font for the player's text.
#include "ui/UiFont.h"

#include <QFontDatabase>

QStringList KelvaraUiFontFamilies()
{
    return {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),       QStringLiteral("IPAPGothic"),
            QStringLiteral("IPA Pゴシック"),    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic"),
            QStringLiteral("VL PGothic"),        QStringLiteral("TakaoPGothic"),     QStringLiteral("Droid Sans Fallback")};
}

QFont KelvaraUiFont()
{
    QFont font;
    font.setPointSize(9);
    const QStringList wanted = KelvaraUiFontFamilies();
    const QStringList installed = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& family : wanted) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            font.setFamily(family);
            return font;
        }
    }
    font.setFamilies(wanted);
    return font;
}
