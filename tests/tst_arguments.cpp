#include "arguments.h"
#include "wmain.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

// The command line as the program's start-up sees it: main() below builds
// an argv the way a shell would hand it over, sheet paths around one of the
// toolkit's own options, and only then creates the application object.
namespace {

struct CommandLine
{
    QString dir;
    QStringList sheets; // in command-line order
};

CommandLine &commandLine()
{
    static CommandLine line;
    return line;
}

// Sheet names, in the order they stand on the command line; "missing" ones
// are named but never created.
struct SheetName
{
    const char *tag;
    const char *name;
    bool exists;
};

const SheetName Sheets[] = {
    {"last-by-name-first-on-line", "zz last.cue", true},
    {"non-ascii-name", "Motörhead – Ace of Spades.cue", true},
    {"missing-file", "missing.cue", false},
    {"plain-name", "album.cue", true},
};

} // namespace

class TestArguments : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void toolkitOptionsRemoved();
    void eachArgument_data();
    void eachArgument();
    void listedFromArguments();
};

void TestArguments::init()
{
    QSettings().clear();
}

void TestArguments::toolkitOptionsRemoved()
{
    // Nothing but the sheets is left, in command-line order: "-platform"
    // and its value, standing between them, were the toolkit's.
    QCOMPARE(sheetArguments(), commandLine().sheets);
}

void TestArguments::eachArgument_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected");

    int position = 0;
    for (const SheetName &sheet : Sheets) {
        QTest::newRow(sheet.tag) << position
                                 << commandLine().dir + u'/' + QString::fromUtf8(sheet.name);
        ++position;
    }
}

void TestArguments::eachArgument()
{
    QFETCH(int, position);
    QFETCH(QString, expected);

    const QStringList arguments = sheetArguments();
    QVERIFY(position < arguments.size());
    QCOMPARE(arguments.at(position), expected);
    QCOMPARE(QFileInfo::exists(arguments.at(position)), Sheets[position].exists);
}

void TestArguments::listedFromArguments()
{
    WMain w;
    w.addFileList(sheetArguments());
    QStringList listed;
    for (int row = 0; row < w.cuelist->count(); ++row)
        listed << w.cuelist->item(row)->text();
    QStringList expected;
    for (const SheetName &sheet : Sheets) {
        if (sheet.exists)
            expected << QDir::toNativeSeparators(commandLine().dir + u'/' + QString::fromUtf8(sheet.name));
    }
    // In the list widget's own order, whatever the collation makes of "M" and "a".
    std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
        return QListWidgetItem(a) < QListWidgetItem(b);
    });
    QCOMPARE(listed, expected);
}

int main(int argc, char **argv)
{
    QTemporaryDir config;
    QTemporaryDir sheets;
    if (!config.isValid() || !sheets.isValid() || argc < 1)
        return 1;
    // The window reads and writes the settings store; keep it away from the
    // user's own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("SplitmereTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_arguments"));

    commandLine().dir = QFileInfo(sheets.path()).canonicalFilePath();
    std::vector<QByteArray> bytes;
    for (const SheetName &sheet : Sheets) {
        const QString path = commandLine().dir + u'/' + QString::fromUtf8(sheet.name);
        if (sheet.exists) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write("FILE \"a.wav\" WAVE\n") < 0)
                return 1;
        }
        commandLine().sheets << path;
        // What a shell hands over: the name in the platform's 8-bit encoding.
        bytes.push_back(QFile::encodeName(path));
    }

    std::vector<char *> args{argv[0], bytes[0].data(), bytes[1].data()};
    QByteArray platformOption("-platform"), platform("offscreen");
    args.push_back(platformOption.data());
    args.push_back(platform.data());
    for (size_t i = 2; i < bytes.size(); ++i)
        args.push_back(bytes[i].data());
    int count = int(args.size());
    args.push_back(nullptr);

    QApplication app(count, args.data());
    TestArguments test;
    // The runner keeps its own command line; the sheets went to the application.
    return QTest::qExec(&test, argc, argv);
}

#include "tst_arguments.moc"
