#include "plausibility.h"

#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace {

// What text people type never holds: a control, a replacement character, a
// private or unassigned code point, a value that starts with a mark.
constexpr int impossible = 50;

// The non-ASCII letters of the Latin-script languages that legacy code pages
// serve. A value whose letters no single one of them uses was read wrongly:
// Czech "ř" and "č" read as Windows-1252 give Danish "ø" beside French "è".
constexpr std::array latinAlphabets {
    u"àâæçéèêëîïôœùûüÿ",  // French
    u"äöüßéè",            // German
    u"áéíñóúü",           // Spanish
    u"áâãàçéêíóôõú",      // Portuguese
    u"àèéìíîòóù",         // Italian
    u"àçèéíïòóúül",       // Catalan
    u"áéëïóöüèíú",        // Dutch
    u"æøåéóàü",           // Danish, Norwegian
    u"åäöéü",             // Swedish
    u"åäöšž",             // Finnish
    u"áæðéíóöúýþ",        // Icelandic
    u"áæðíóøúý",          // Faroese
    u"äöõüšž",            // Estonian
    u"ąćęłńóśźż",         // Polish
    u"áčďéěíňóřšťúůýž",   // Czech
    u"áäčďéíĺľňóôŕšťúýž", // Slovak
    u"áéíóöőúüű",         // Hungarian
    u"čćđšž",             // Slovenian, Croatian, Bosnian
    u"ăâîșțşţ",           // Romanian
    u"çğıöşüâîû",         // Turkish
    u"ąčęėįšųūž",         // Lithuanian
    u"āčēģīķļņšūž",       // Latvian
    u"çë",                // Albanian
    u"âêîôûŵŷáéíóúàèìòù", // Welsh, Irish
};

bool isVowel(QChar lower)
{
    return QStringView(u"аеёиоуыэюяіїєαεηιουωάέήίόύώϊϋΐΰ").contains(lower);
}

// Scripts that may stand side by side in one value of one language.
int scriptGroup(QChar c)
{
    if (c.unicode() >= 0xff00 && c.unicode() <= 0xffef)
        return QChar::Script_Han; // full-width forms belong to CJK text
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return QChar::Script_Han;
    default:
        return c.script();
    }
}

bool expectedScript(QChar c, Script script)
{
    const QChar::Script s = c.script();
    switch (script) {
    case Script::Any:
        return true;
    case Script::Latin:
        return s == QChar::Script_Latin;
    case Script::Cyrillic:
        return s == QChar::Script_Cyrillic;
    case Script::Greek:
        return s == QChar::Script_Greek;
    case Script::Hebrew:
        return s == QChar::Script_Hebrew;
    case Script::Arabic:
        return s == QChar::Script_Arabic;
    case Script::Thai:
        return s == QChar::Script_Thai;
    case Script::Japanese:
        return s == QChar::Script_Han || s == QChar::Script_Hiragana || s == QChar::Script_Katakana
            || (s == QChar::Script_Latin && c.unicode() >= 0xff00);
    case Script::Chinese:
        return s == QChar::Script_Han || s == QChar::Script_Bopomofo
            || (s == QChar::Script_Latin && c.unicode() >= 0xff00);
    case Script::Korean:
        return s == QChar::Script_Hangul || s == QChar::Script_Han;
    }
    return true;
}

// The most used characters of a CJK language are the first level of its
// national character set; a reading in the wrong CJK code page gives mostly
// characters from outside it. Told by encoding the character back.
class CommonCharacters
{
public:
    explicit CommonCharacters(Script script)
        : m_script(script)
    {
    }

    bool isRare(QChar c)
    {
        const QChar::Script s = c.script();
        if (m_script == Script::Japanese && s == QChar::Script_Katakana)
            return c.unicode() >= 0xff00; // half-width kana
        if (s != QChar::Script_Han && s != QChar::Script_Hangul)
            return false;
        switch (m_script) {
        case Script::Japanese: {
            const int code = codeIn(m_encoder, "Shift_JIS", c);
            return code < 0x889f || code > 0x9872; // JIS level 1
        }
        case Script::Chinese: {
            // Level 1 of GB2312 or the frequent characters of Big5, either of
            // which a Chinese sheet draws on.
            const int gb = codeIn(m_encoder, "GB18030", c);
            if (gb >= 0xb0a1 && gb <= 0xd7fe && (gb & 0xff) >= 0xa1)
                return false;
            const int big5 = codeIn(m_big5, "Big5", c);
            return big5 < 0xa440 || big5 > 0xc67e;
        }
        case Script::Korean: {
            if (s == QChar::Script_Han)
                return true; // Korean titles seldom hold hanja
            const int code = codeIn(m_encoder, "windows-949", c);
            return code < 0xb0a1 || code > 0xc8fe || (code & 0xff) < 0xa1; // KS X 1001
        }
        default:
            return false;
        }
    }

private:
    // The character's two-byte code in the encoding, or -1. The encoder is
    // made on first use: most readings hold no CJK character at all.
    static int codeIn(std::optional<QStringEncoder> &encoder, const char *name, QChar c)
    {
        if (!encoder)
            encoder.emplace(name);
        encoder->resetState(); // an error would otherwise stay for every later character
        const QByteArray b = encoder->encode(QStringView(&c, 1));
        return encoder->hasError() || b.size() != 2 ? -1 : uchar(b[0]) << 8 | uchar(b[1]);
    }

    Script m_script;
    std::optional<QStringEncoder> m_encoder;
    std::optional<QStringEncoder> m_big5;
};

class Judge
{
public:
    explicit Judge(Script script)
        : m_script(script)
        , m_common(script)
    {
    }

    int line(QStringView text);

private:
    int character(QStringView text, qsizetype i);
    int word(QStringView word);
    static int latinCoherence(QStringView text);

    Script m_script;
    CommonCharacters m_common;
};

bool isCjk(Script script)
{
    return script == Script::Japanese || script == Script::Chinese || script == Script::Korean;
}

int Judge::character(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    const QChar before = i > 0 ? text[i - 1] : QChar(u' ');
    const QChar after = i + 1 < text.size() ? text[i + 1] : QChar(u' ');
    const auto category = c.category();
    if ((c.unicode() >= 0x80 && c.unicode() <= 0x9f) || c == QChar::ReplacementCharacter
        || category == QChar::Other_PrivateUse || category == QChar::Other_NotAssigned)
        return impossible;
    if (c.isMark()) {
        if (!before.isLetter() && !before.isMark())
            return impossible;
        // Vowel signs are optional in Hebrew and Arabic and left out of titles.
        const char16_t u = c.unicode();
        return (u >= 0x0591 && u <= 0x05c7) || (u >= 0x064b && u <= 0x065f) ? 1 : 0;
    }
    int cost = 0;
    // Signs that touch letters: "Czes³aw" and "¶wiat" for Polish read in the
    // wrong code page. Quotes and a few marks do touch words in real titles.
    if (c.unicode() >= 0x80 && !c.isLetter() && !c.isDigit() && !c.isSpace()
        && !QStringView(u"’‘ʼ´·“”„«»‹›¿¡…™®©°–—•").contains(c))
        cost += int(before.isLetter()) + int(after.isLetter());
    if (c.isLetter() && c.unicode() >= 0x80) {
        if (!expectedScript(c, m_script))
            cost += 2;
        else if (isCjk(m_script))
            cost += m_common.isRare(c) ? 1 : 0;
    }
    // Words of Chinese and Japanese are not set apart by spaces, Korean ones
    // are: Korean read as Chinese has spaces between ideographs.
    if (c == u' ' && before.script() == QChar::Script_Han && after.script() == QChar::Script_Han)
        cost += 1;
    return cost;
}

int Judge::word(QStringView word)
{
    qsizetype ascii = 0;
    qsizetype vowels = 0;
    bool alphabetic = false; // Greek or Cyrillic
    bool otherScript = false;
    int cost = 0;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word[i];
        if (c.unicode() < 0x80) {
            ++ascii;
            continue;
        }
        const QChar::Script s = c.script();
        alphabetic = alphabetic || s == QChar::Script_Greek || s == QChar::Script_Cyrillic;
        otherScript = otherScript || (s != QChar::Script_Latin && c.isLetter());
        vowels += isVowel(c.toLower()) ? 1 : 0;
        if (c.isUpper() && i > 0 && word[i - 1].isLower())
            cost += 1;
        // Greek writes a final sigma at the end of a word and only there.
        if (c == u'ς' && i + 1 < word.size())
            cost += 2;
    }
    const qsizetype high = word.size() - ascii;
    if (high == 0)
        return 0;
    if (alphabetic && word.size() >= 2 && vowels == 0)
        cost += 2;
    // Accented Latin letters stand among plain ones.
    if (!otherScript && ascii == 0 && word.size() >= 3)
        cost += 2;
    if (otherScript && ascii > 0 && !isCjk(m_script))
        cost += 1;
    return cost;
}

int Judge::latinCoherence(QStringView text)
{
    QString letters;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 && c.isLetter() && c.script() == QChar::Script_Latin
            && c.unicode() < 0xff00 && !letters.contains(c.toLower()))
            letters += c.toLower();
    }
    if (letters.isEmpty())
        return 0;
    int best = std::numeric_limits<int>::max();
    for (const char16_t *alphabet : latinAlphabets) {
        const QStringView known(alphabet);
        const auto stray = std::count_if(
            letters.cbegin(), letters.cend(), [&](QChar c) { return !known.contains(c); });
        best = std::min(best, int(stray));
    }
    return best;
}

int Judge::line(QStringView text)
{
    int cost = latinCoherence(text);
    QList<int> groups;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool inWord = i < text.size() && (text[i].isLetter() || text[i].isMark());
        if (inWord && start < 0)
            start = i;
        if (!inWord && start >= 0) {
            cost += word(text.mid(start, i - start));
            start = -1;
        }
        if (i == text.size())
            break;
        cost += character(text, i);
        const QChar c = text[i];
        if (c.unicode() >= 0x80 && c.isLetter() && !groups.contains(scriptGroup(c)))
            groups << scriptGroup(c);
    }
    return cost + 3 * std::max(0, int(groups.size()) - 1);
}

} // namespace

int implausibility(const QString &text, Script script)
{
    Judge judge(script);
    int cost = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        cost += judge.line(line);
    return cost;
}
