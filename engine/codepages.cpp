#include "codepages.h"

#include <QStringDecoder>

#include <array>

namespace {

struct CodePage
{
    const char *name;  // the converter's name, or the charset detector's
    const char *label; // what the user reads; null when the user cannot choose it
    Script script;
};

// The code pages the user may choose come first, in the menu's order; the
// rest are other names the charset detector answers with.
constexpr std::array codePages {
    CodePage {"UTF-8", "UTF-8", Script::Any},
    CodePage {"windows-1252", "Windows-1252", Script::Latin},
    CodePage {"windows-1250", "Windows-1250", Script::Latin},
    CodePage {"windows-1251", "Windows-1251", Script::Cyrillic},
    CodePage {"windows-1253", "Windows-1253", Script::Greek},
    CodePage {"windows-1254", "Windows-1254", Script::Latin},
    CodePage {"windows-1255", "Windows-1255", Script::Hebrew},
    CodePage {"windows-1256", "Windows-1256", Script::Arabic},
    CodePage {"windows-1257", "Windows-1257", Script::Latin},
    CodePage {"windows-874", "Windows-874", Script::Thai},
    CodePage {"Shift_JIS", "Shift_JIS", Script::Japanese},
    CodePage {"EUC-JP", "EUC-JP", Script::Japanese},
    CodePage {"GB18030", "GB18030", Script::Chinese},
    CodePage {"Big5", "Big5", Script::Chinese},
    CodePage {"windows-949", "Windows-949", Script::Korean},
    CodePage {"KOI8-R", "KOI8-R", Script::Cyrillic},
    CodePage {"ISO-8859-1", nullptr, Script::Latin},
    CodePage {"ISO-8859-2", nullptr, Script::Latin},
    CodePage {"ISO-8859-3", nullptr, Script::Latin},
    CodePage {"ISO-8859-4", nullptr, Script::Latin},
    CodePage {"ISO-8859-9", nullptr, Script::Latin},
    CodePage {"ISO-8859-13", nullptr, Script::Latin},
    CodePage {"ISO-8859-15", nullptr, Script::Latin},
    CodePage {"ISO-8859-16", nullptr, Script::Latin},
    CodePage {"MAC-CENTRALEUROPE", nullptr, Script::Latin},
    CodePage {"ISO-8859-5", nullptr, Script::Cyrillic},
    CodePage {"IBM855", nullptr, Script::Cyrillic},
    CodePage {"IBM866", nullptr, Script::Cyrillic},
    CodePage {"MAC-CYRILLIC", nullptr, Script::Cyrillic},
    CodePage {"KOI8-U", nullptr, Script::Cyrillic},
    CodePage {"ISO-8859-7", nullptr, Script::Greek},
    CodePage {"ISO-8859-8", nullptr, Script::Hebrew},
    CodePage {"ISO-8859-6", nullptr, Script::Arabic},
    CodePage {"TIS-620", nullptr, Script::Thai},
    CodePage {"ISO-8859-11", nullptr, Script::Thai},
    CodePage {"ISO-2022-JP", nullptr, Script::Japanese},
    CodePage {"GB2312", nullptr, Script::Chinese},
    CodePage {"HZ-GB-2312", nullptr, Script::Chinese},
    CodePage {"EUC-TW", nullptr, Script::Chinese},
    CodePage {"EUC-KR", nullptr, Script::Korean},
    CodePage {"ISO-2022-KR", nullptr, Script::Korean},
};

const CodePage *findCodePage(QByteArrayView name)
{
    for (const CodePage &page : codePages) {
        if (name.compare(page.name, Qt::CaseInsensitive) == 0)
            return &page;
    }
    return nullptr;
}

} // namespace

QByteArray codePageForLanguage(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Bulgarian:
    case QLocale::Serbian:
    case QLocale::Macedonian:
        return "windows-1251";
    case QLocale::Japanese:
        return "Shift_JIS";
    case QLocale::Chinese: {
        // Taiwan, Hong Kong and Macao write traditional characters whatever
        // the locale says of its script.
        const auto territory = locale.territory();
        const bool traditional = locale.script() == QLocale::TraditionalChineseScript
            || territory == QLocale::Taiwan || territory == QLocale::HongKong
            || territory == QLocale::Macao;
        return traditional ? "Big5" : "GB18030";
    }
    case QLocale::Korean:
        return "windows-949";
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
        return "windows-1250";
    case QLocale::Greek:
        return "windows-1253";
    case QLocale::Turkish:
        return "windows-1254";
    case QLocale::Hebrew:
        return "windows-1255";
    case QLocale::Arabic:
        return "windows-1256";
    case QLocale::Lithuanian:
    case QLocale::Latvian:
    case QLocale::Estonian:
        return "windows-1257";
    case QLocale::Thai:
        return "windows-874";
    default:
        return {};
    }
}

Script scriptOfCodePage(const QByteArray &name)
{
    // The detector's name for Korean text.
    if (name.compare("UHC", Qt::CaseInsensitive) == 0)
        return Script::Korean;
    const CodePage *page = findCodePage(name);
    return page ? page->script : Script::Any;
}

QStringList offeredEncodings()
{
    QStringList names;
    for (const CodePage &page : codePages) {
        if (page.label)
            names << QLatin1String(page.name);
    }
    return names;
}

bool isKnownEncoding(const QString &name)
{
    return !name.isEmpty() && QStringDecoder(name.toLatin1().constData()).isValid();
}

QString encodingLabel(const QString &name)
{
    const CodePage *page = findCodePage(name.toLatin1());
    return page && page->label ? QLatin1String(page->label) : name;
}
