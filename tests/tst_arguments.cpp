#include "arguments.h"
#include "wmain.h"
#include "windowtest.h"

#include <vector>

using namespace WindowTest;

// The command line as the program's start-up sees it: main() below builds
// an argv the way a shell would hand it over, sheet paths around one of the
// toolkit's own options, and only then creates the application object.
namespace {

QString sheetDir;
QStringList sheetPaths; // in command-line order
const char *const SheetNames[] = {"zz last.cue", "Motörhead – Ace of Spades.cue", "missing.cue",
                                  "album.cue"};

} // namespace

class TestArguments : public QObject
{
    Q_OBJECT

private slots:
    void onlySheetsInOrder();
    void sheetsReachTheList();
};

void TestArguments::onlySheetsInOrder()
{
    // In command-line order, non-ASCII names decoded, and nothing left of
    // "-platform offscreen", which stood between them.
    QCOMPARE(sheetArguments(), sheetPaths);
}

void TestArguments::sheetsReachTheList()
{
    WMain w;
    w.addFileList(sheetArguments());
    QStringList existing = sheetPaths;
    existing.removeAll(sheetDir + QStringLiteral("/missing.cue"));
    QCOMPARE(texts(w.cuelist), inListOrder(existing));
}

int main(int argc, char **argv)
{
    isolateSettings("tst_arguments");
    QTemporaryDir sheets;
    if (!sheets.isValid())
        return 1;
    sheetDir = QFileInfo(sheets.path()).canonicalFilePath();
    std::vector<QByteArray> bytes;
    for (const char *name : SheetNames) {
        sheetPaths << sheetDir + u'/' + QString::fromUtf8(name);
        QFile file(sheetPaths.last());
        const bool missing = sheetPaths.last().endsWith(QLatin1String("missing.cue"));
        if (!missing && !file.open(QIODevice::WriteOnly))
            return 1;
        // What a shell hands over: the name in the platform's 8-bit encoding.
        bytes.push_back(QFile::encodeName(sheetPaths.last()));
    }
    QByteArray platformOption("-platform"), platform("offscreen");
    std::vector<char *> args{argv[0], bytes[0].data(), bytes[1].data(), platformOption.data(),
                             platform.data(), bytes[2].data(), bytes[3].data(), nullptr};
    int count = int(args.size()) - 1;
    QApplication app(count, args.data());
    TestArguments test;
    // The runner keeps its own command line; the sheets went to the application.
    return QTest::qExec(&test, argc, argv);
}

#include "tst_arguments.moc"
