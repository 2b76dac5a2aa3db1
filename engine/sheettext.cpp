#include "sheettext.h"

#include "codepages.h"
#include "enginetext.h"
#include "plausibility.h"

#include <QHash>
#include <QStringDecoder>

#include <uchardet.h>

#include <algorithm>
#include <array>
#include <limits>

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

// Bytes 0x80 to 0x9F are controls in the ISO-8859 family but quotes and
// dashes in what rippers on Windows write; the detector names the ISO code
// page for a sheet whose only sign of Windows is a dash.
QByteArray windowsSibling(const QByteArray &iso)
{
    static const QHash<QByteArray, QByteArray> siblings {{"ISO-8859-1", "windows-1252"},
        {"ISO-8859-15", "windows-1252"}, {"ISO-8859-2", "windows-1250"},
        {"ISO-8859-4", "windows-1257"}, {"ISO-8859-13", "windows-1257"},
        {"ISO-8859-5", "windows-1251"}, {"ISO-8859-7", "windows-1253"},
        {"ISO-8859-9", "windows-1254"}, {"ISO-8859-8", "windows-1255"},
        {"ISO-8859-6", "windows-1256"}, {"TIS-620", "windows-874"}, {"ISO-8859-11", "windows-874"}};
    return siblings.value(iso.toUpper());
}

int highBytes(const QByteArray &bytes)
{
    return int(
        std::count_if(bytes.cbegin(), bytes.cend(), [](char b) { return uchar(b) >= 0x80; }));
}

// Below this many bytes of 0x80 or above, the detector's statistics say little.
constexpr int shortSheetBytes = 64;
constexpr qsizetype judgedCharacters = 16384;

// The code pages a sheet without a trustworthy answer is tried in, the most
// used first, since a tie goes to the earlier one. Text of one CJK code page
// often reads as common characters of another (Korean as Chinese, EUC-JP as
// Big5); the order settles such ties the way sheets are most often written.
constexpr std::array commonCodePages {"windows-1252", "windows-1251", "windows-1250", "Shift_JIS",
    "GB18030", "windows-949", "EUC-JP", "Big5", "windows-1253", "windows-1254", "windows-1257",
    "windows-1255", "windows-1256", "windows-874", "ISO-8859-2"};

// Every candidate reading is judged as text; Windows-1252 wins a tie, and
// the detector's answer wins only when it reads better than all the common
// code pages: on a short sheet it is often one of a script nobody meant.
SheetText mostPlausible(const QByteArray &detected, const QByteArray &bytes)
{
    QList<QByteArray> candidates;
    for (const char *page : commonCodePages)
        candidates << page;
    if (!detected.isEmpty())
        candidates << detected;
    SheetText best;
    int bestCost = std::numeric_limits<int>::max();
    for (const QByteArray &page : std::as_const(candidates)) {
        QString text;
        if (!decodeAs(page, bytes, text))
            continue;
        // A sheet's first pages say enough; judging a file of 100,000 bytes
        // that the detector knows nothing of would hold up the event loop.
        const int cost = implausibility(text.left(judgedCharacters), scriptOfCodePage(page));
        if (cost < bestCost) {
            bestCost = cost;
            best = {text, QString::fromLatin1(page), SheetText::Source::Guessed};
        }
    }
    return best;
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

// The detector does not tell the two Central European encodings apart well:
// it names Windows-1250 for many ISO-8859-2 sheets. The reading that keeps
// more letters wins, the detector's choice when both are alike.
QByteArray centralEuropean(const QByteArray &detected, const QByteArray &bytes)
{
    QString text;
    QString otherText;
    const QByteArray other = detected == "WINDOWS-1250" ? "ISO-8859-2" : "windows-1250";
    if (decodeAs(detected, bytes, text) && decodeAs(other, bytes, otherText)
        && strayCharacters(otherText) < strayCharacters(text))
        return other;
    return detected;
}

// A long sheet the detector has an answer for: its answer, or the Windows
// code page beside it when the answer reads Windows punctuation as controls.
SheetText detectedReading(QByteArray detected, const QByteArray &bytes)
{
    if (detected == "WINDOWS-1250" || detected == "ISO-8859-2")
        detected = centralEuropean(detected, bytes);
    QString text;
    if (decodeAs(detected, bytes, text) && hasControls(text))
        detected = windowsSibling(detected);
    if (!detected.isEmpty() && decodeAs(detected, bytes, text) && !hasControls(text))
        return {text, QString::fromLatin1(detected), SheetText::Source::Guessed};
    decodeAs("windows-1252", bytes, text);
    return {text, QStringLiteral("windows-1252"), SheetText::Source::Guessed};
}

// The code page of the user's language reads a sheet that the detector has
// too little text to judge, or that it would give to another script.
bool useHint(const QByteArray &hint, const QByteArray &detected, const QByteArray &bytes)
{
    return highBytes(bytes) < shortSheetBytes || detected.isEmpty()
        || scriptOfCodePage(detected) != scriptOfCodePage(hint);
}

SheetText chosenReading(const QString &chosen, const QByteArray &bytes)
{
    // Bytes the chosen encoding cannot read become replacement characters,
    // which names drop.
    QStringDecoder decoder(chosen.toLatin1().constData());
    return {decoder.decode(bytes), chosen, SheetText::Source::Chosen};
}

} // namespace

QString SheetText::label() const
{
    const QString name = encodingLabel(encoding);
    switch (source) {
    case Source::Guessed:
        return EngineText::tr("%1 (detected)").arg(name);
    case Source::Chosen:
        return EngineText::tr("%1 (chosen)").arg(name);
    case Source::Marked:
        break;
    }
    return name;
}

SheetText decodeSheetText(const QByteArray &bytes, const QString &chosen, const QLocale &language)
{
    if (isKnownEncoding(chosen))
        return chosenReading(chosen, bytes);
    // Without a hint, encodingForData answers only for a byte-order mark.
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*bom);
        return {decoder.decode(bytes), QLatin1String(QStringConverter::nameForEncoding(*bom))};
    }
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // Qt 6 reads the locale as UTF-8 on every Unix.
    if (!decoder.hasError())
        return {text, QStringLiteral("UTF-8")};
    // Decoding in the locale would turn every letter it cannot read into a
    // replacement character in the file names.
    const QByteArray detected = detectEncoding(bytes);
    const QByteArray hint = codePageForLanguage(language);
    if (!hint.isEmpty() && decodeAs(hint, bytes, text) && useHint(hint, detected, bytes))
        return {text, QString::fromLatin1(hint), SheetText::Source::Guessed};
    if (highBytes(bytes) < shortSheetBytes || detected.isEmpty())
        return mostPlausible(detected, bytes);
    return detectedReading(detected, bytes);
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
