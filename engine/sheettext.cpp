#include "sheettext.h"

#include <QStringDecoder>

#include <uchardet.h>

#include <algorithm>
#include <bitset>

namespace {

// Stateless, so that a sequence cut off by the end of the sheet counts as an
// error instead of waiting for bytes that never come. False when the converter
// does not know the encoding or the bytes are not valid in it.
bool decodeAs(const QByteArray &encoding, const QByteArray &bytes, QString &text)
{
    QStringDecoder decoder(encoding.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

QByteArray detectEncoding(const QByteArray &bytes)
{
    uchardet_t detector = uchardet_new();
    QByteArray name;
    if (uchardet_handle_data(detector, bytes.constData(), size_t(bytes.size())) == 0) {
        uchardet_data_end(detector);
        name = uchardet_get_charset(detector);
    }
    uchardet_delete(detector);
    // The detector's name for Korean text; the converter knows it by another.
    if (name == "UHC")
        name = "windows-949";
    return name;
}

// What every sheet without a better guess is read as. Every byte has a
// meaning there but five, which come out as controls and are dropped from
// names later.
QString windows1252(const QByteArray &bytes)
{
    QString text;
    decodeAs("windows-1252", bytes, text);
    return text;
}

// Letters that one reading turns into signs or controls: Polish written as
// ISO-8859-2 reads as "±" and "¶" for "ą" and "ś" in Windows-1250, and
// Windows-1250 reads as controls in ISO-8859-2.
int strayCharacters(const QString &text)
{
    int count = 0;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 && !c.isLetterOrNumber() && !c.isSpace())
            ++count;
    }
    return count;
}

bool hasControls(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
        [](QChar c) { return c.unicode() >= 0x80 && c.unicode() <= 0x9f; });
}

int distinctHighBytes(const QByteArray &bytes)
{
    std::bitset<128> seen;
    for (const char b : bytes) {
        if (uchar(b) >= 0x80)
            seen.set(uchar(b) - 0x80);
    }
    return int(seen.count());
}

// The detector tells Central European from Western text by letter statistics,
// which a sheet with one or two such letters does not give: a lone Danish "Ø"
// comes back as Windows-1250 "Ř". Nor does it tell the two Central European
// encodings apart well: it names Windows-1250 for many ISO-8859-2 sheets. The
// reading that keeps more letters wins, the detector's choice when both are
// alike.
QString readCentralEuropean(const QByteArray &detected, const QByteArray &bytes)
{
    QString text;
    if (distinctHighBytes(bytes) < 4 || !decodeAs(detected, bytes, text))
        return windows1252(bytes);
    const QByteArray other = detected == "WINDOWS-1250" ? "ISO-8859-2" : "WINDOWS-1250";
    QString otherText;
    if (decodeAs(other, bytes, otherText) && strayCharacters(otherText) < strayCharacters(text))
        return otherText;
    return text;
}

} // namespace

QString decodeSheetText(const QByteArray &bytes)
{
    // Without a hint, encodingForData answers only for a byte-order mark.
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*bom);
        return decoder.decode(bytes);
    }
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    // Decoding in the locale would turn every letter it cannot read into a
    // replacement character in the file names.
    const QByteArray detected = detectEncoding(bytes);
    if (detected == "WINDOWS-1250" || detected == "ISO-8859-2")
        return readCentralEuropean(detected, bytes);
    // Bytes 0x80 to 0x9F are controls in the ISO-8859 family but quotes and
    // dashes in what rippers on Windows write.
    if (!detected.isEmpty() && decodeAs(detected, bytes, text) && !hasControls(text))
        return text;
    return windows1252(bytes);
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
