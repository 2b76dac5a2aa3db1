#include "sheettext.h"

#include <QStringDecoder>

QString decodeSheetText(const QByteArray &bytes)
{
    // Without a hint, encodingForData answers only for a byte-order mark.
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*bom);
        return decoder.decode(bytes);
    }
    // Stateless, so that a sequence cut off by the end of the sheet counts as
    // an error instead of waiting for bytes that never come.
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    // A sheet that is not valid in the locale's encoding was almost always
    // written as Windows-1252 or Latin-1; decoding it in the locale would turn
    // every accented letter into a replacement character in the file names.
    if (decoder.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

SheetLines::SheetLines(const QString &text)
    : m_text(text)
{
}

bool SheetLines::next(QString &line)
{
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return false;
    qsizetype end = m_pos;
    while (end < size && m_text.at(end) != QLatin1Char('\n') && m_text.at(end) != QLatin1Char('\r'))
        ++end;
    line = m_text.mid(m_pos, end - m_pos);
    m_pos = end;
    if (m_pos < size) {
        // A lone CR ends a line as well, so sheets saved with old Mac line ends
        // are read line by line instead of failing as one long invalid line.
        const bool cr = m_text.at(m_pos) == QLatin1Char('\r');
        ++m_pos;
        if (cr && m_pos < size && m_text.at(m_pos) == QLatin1Char('\n'))
            ++m_pos;
    }
    return true;
}
