#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

// The writing system a legacy code page was made for: a reading in that code
// page is expected to hold letters of that system only.
enum class Script { Any, Latin, Cyrillic, Greek, Hebrew, Arabic, Thai, Japanese, Chinese, Korean };

// The legacy code page Windows uses for the language of locale, by the
// converter's name; empty for a language without one (English among them).
QByteArray codePageForLanguage(const QLocale &locale = QLocale::system());

// The script a code page was made for, by its converter's or the charset
// detector's name; Script::Any for names not in the table.
Script scriptOfCodePage(const QByteArray &name);

// The encodings a user may choose for a sheet, by the converter's names, in
// the order a menu shows them.
QStringList offeredEncodings();

// True when the toolkit's converter can decode text in the encoding named.
bool isKnownEncoding(const QString &name);

// How the user sees an encoding named: "Windows-1251" for "WINDOWS-1251".
QString encodingLabel(const QString &name);
