#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Turns the bytes of a CUE sheet into text: a Unicode byte-order mark wins,
// else the locale's encoding, else the encoding a charset detector finds over
// the whole sheet, else Windows-1252, which is what old Windows rippers wrote.
QString decodeSheetText(const QByteArray &bytes);

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
