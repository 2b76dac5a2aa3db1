#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

// A sheet's text and the encoding it was read in.
struct SheetText
{
    enum class Source { Marked, Guessed, Chosen };
    QString text;
    QString encoding; // the converter's name
    Source source = Source::Marked;

    // What the CUE list tells the user: "Windows-1251 (detected)", "UTF-8".
    QString label() const;
};

// Turns the bytes of a CUE sheet into text. An encoding the user chose wins;
// else a Unicode byte-order mark, else the locale's encoding, else the code
// page of the user's language (see sheettext.cpp for when), else the encoding
// a charset detector finds over the whole sheet, else the most plausible
// reading among the common code pages, Windows-1252 on a tie, which is what
// old Windows rippers wrote. The language is a parameter for the tests.
SheetText decodeSheetText(const QByteArray &bytes, const QString &chosen = {},
    const QLocale &language = QLocale::system());

// Reads a sheet's lines one at a time; LF, CR LF and a lone CR all end a line,
// and the end of the text is told apart from an empty last line.
class SheetLines
{
public:
    explicit SheetLines(const QString &text);
    // False at the end of the text; otherwise sets line (without its end).
    bool next(QString &line);

private:
    QString m_text;
    qsizetype m_pos = 0;
};
