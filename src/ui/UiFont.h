// The font of the main window's text: "ＭＳ Ｐゴシック" at 9 points where it
// is installed, else the first Japanese-capable family found (IPA, Noto
// CJK, ...), so ROM titles never show as empty boxes.
#pragma once

#include <QFont>
#include <QStringList>

// Families tried in order.
QStringList KelvaraUiFontFamilies();
// The 9-point font; its family is the first installed one of the list that
// can write Japanese (the list itself when none is found).
QFont KelvaraUiFont();
