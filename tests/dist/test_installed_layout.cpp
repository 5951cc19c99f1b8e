// The installed program: "cmake --install" into a temporary prefix, then the
// layout, the desktop entry and AppStream description as the desktop's own
// validators see them, the icon, the manual pages, the installed scanner on
// an installed sample, the picture types the desktop entry offers against
// those the loader reads, and the mailcap entries Debian makes of them.
#include "capture/SampleFormats.h"
#include "decode/DecodeBitmap.h"
#include "decode/PictureLoader.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <zlib.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace {

const QString kAppId = QStringLiteral("com.dastrel.lantrix");
const QString kQrText = QStringLiteral("https://lantrix.invalid/hello?from=qr");

struct RunOutcome {
    int exitCode = -1;
    QString out, err;
};

// A run that crashes or does not end in time fails the test; the time is
// generous, for a busy machine, and only there so that a hang fails.
RunOutcome RunProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(30000)) {
        ADD_FAILURE() << program.toStdString() << " did not start: " << process.errorString().toStdString();
        return {};
    }
    if (!process.waitForFinished(120000)) {
        ADD_FAILURE() << program.toStdString() << " did not end";
        process.kill();
        process.waitForFinished();
        return {};
    }
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << program.toStdString() << " crashed";
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return file.readAll();
}

// The value of `key` in the [Desktop Entry] group of a desktop file.
QString DesktopEntryValue(const QString& path, const QString& key)
{
    bool inEntry = false;
    for (const QString& line : QString::fromUtf8(ReadFile(path)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return QString();
}

// The picture types of the desktop entry's MimeType list.
QSet<QString> OfferedTypes(const QString& desktopFile)
{
    QSet<QString> types;
    for (const QString& type : DesktopEntryValue(desktopFile, QStringLiteral("MimeType")).split(QLatin1Char(';')))
        if (!type.isEmpty())
            types.insert(type);
    return types;
}

// The text of the first element named `name`, and its attributes.
struct XmlElement {
    QString text;
    QXmlStreamAttributes attributes;
    bool found = false;
};

XmlElement FirstElement(const QString& path, const QString& name)
{
    QXmlStreamReader xml(ReadFile(path));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name) {
            XmlElement element;
            element.attributes = xml.attributes();
            element.found = true;
            element.text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            return element;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return {};
}

class InstalledLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fPrefix = std::make_unique<QTemporaryDir>();
        fInstallOutcome = RunProgram(QStringLiteral(LANTRIX_CMAKE_COMMAND),
                                     {QStringLiteral("--install"), QStringLiteral(LANTRIX_BUILD_DIR),
                                      QStringLiteral("--prefix"), fPrefix->path()});
    }
    static void TearDownTestSuite() { fPrefix.reset(); }

    void SetUp() override { ASSERT_EQ(fInstallOutcome.exitCode, 0) << fInstallOutcome.err.toStdString(); }

    static QString Installed(const QString& relative) { return fPrefix->filePath(relative); }
    static QString DesktopFile() { return Installed("share/applications/" + kAppId + ".desktop"); }
    static QString MetainfoFile() { return Installed("share/metainfo/" + kAppId + ".metainfo.xml"); }

    static std::unique_ptr<QTemporaryDir> fPrefix;
    static RunOutcome fInstallOutcome;
};

std::unique_ptr<QTemporaryDir> InstalledLayout::fPrefix;
RunOutcome InstalledLayout::fInstallOutcome;

TEST_F(InstalledLayout, EveryFileInItsPlaceAndNothingElse)
{
    QStringList expected{"bin/lantrix",
                         "bin/lantrix-scan",
                         "share/lantrix/license.txt",
                         "share/applications/" + kAppId + ".desktop",
                         "lib/mime/packages/" + kAppId,
                         "share/metainfo/" + kAppId + ".metainfo.xml",
                         "share/icons/hicolor/scalable/apps/" + kAppId + ".svg",
                         "share/man/man1/lantrix.1",
                         "share/man/man1/lantrix-scan.1",
                         LANTRIX_LIVE_PART_DIR "/lantrix-scan-live.so",
                         LANTRIX_LIVE_PART_DIR "/lantrix-decoder"};
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
    for (const char* folder : {"samples", "Languages"}) {
        QDirIterator shipped(QStringLiteral(LANTRIX_SOURCE_DIR "/") + folder, QDir::Files);
        while (shipped.hasNext())
            expected << QStringLiteral("share/lantrix/%1/%2").arg(folder, QFileInfo(shipped.next()).fileName());
    }

    QStringList installed;
    QDirIterator all(fPrefix->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (all.hasNext())
        installed << QDir(fPrefix->path()).relativeFilePath(all.next());
    expected.sort();
    installed.sort();
    EXPECT_EQ(installed.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());

    for (const char* program : {"bin/lantrix", "bin/lantrix-scan"})
        EXPECT_TRUE(QFileInfo(Installed(program)).isExecutable()) << program;
    EXPECT_TRUE(QFile::exists(Installed("share/lantrix/samples/qr_code.png")));
    EXPECT_TRUE(QFile::exists(Installed("share/lantrix/Languages/LanguageCodes.csv")));
}

TEST_F(InstalledLayout, DesktopEntryValidates)
{
    const RunOutcome run = RunProgram(QStringLiteral("desktop-file-validate"), {DesktopFile()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ((run.out + run.err).toStdString(), "");
}

// The mailcap entries that Debian's update-mime makes for an installed tree:
// the tool itself (package mailcap), run with its folders moved to the tree
// and a mailcap file of the test's own. The entries of desktop entries follow
// those of lib/mime/packages; an entry is "type; command; ...".
QStringList MailcapEntries(const QString& mimePackages, const QString& applications, const QString& workFolder)
{
    const QString tool = QStringLiteral("/usr/sbin/update-mime");
    QString script = QString::fromUtf8(ReadFile(tool));
    const QString mailcap = workFolder + "/mailcap";
    const std::map<QString, QString> folders{{"conffile", workFolder + "/none.conf"},
                                             {"mailcap", mailcap},
                                             {"mimedir", mimePackages},
                                             {"appsdir", applications},
                                             {"orderfile", workFolder + "/none.order"}};
    for (const auto& [name, path] : folders) {
        // "my $mailcap = ...", or "our $mailcap = ..." (mailcap 3.74 on)
        const QRegularExpression setting("^(my|our)\\s+\\$" + name + "\\s*=\\s*\"[^\"]*\";",
                                         QRegularExpression::MultilineOption);
        EXPECT_TRUE(setting.match(script).hasMatch()) << "update-mime sets no $" << name.toStdString();
        script.replace(setting, "\\1 $" + name + " = \"" + path + "\";");
    }
    QFile changed(workFolder + "/update-mime");
    EXPECT_TRUE(changed.open(QIODevice::WriteOnly) && changed.write(script.toUtf8()) > 0);
    changed.close();
    const RunOutcome run = RunProgram(QStringLiteral("perl"), {changed.fileName()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList entries;
    for (const QString& line : QString::fromUtf8(ReadFile(mailcap)).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            entries << line;
    return entries;
}

// "Open With" offers Lantrix for pictures, but it does not become their
// viewer: update-mime makes no mailcap entry of its desktop entry. Without
// the installed lib/mime/packages file it would make one for every type.
TEST_F(InstalledLayout, OfferedForPicturesWithoutBecomingTheirViewer)
{
    if (!QFile::exists(QStringLiteral("/usr/sbin/update-mime")))
        GTEST_SKIP() << "update-mime (package mailcap) is not installed";
    EXPECT_TRUE(OfferedTypes(DesktopFile()).contains(QStringLiteral("image/png")));
    EXPECT_EQ(DesktopEntryValue(DesktopFile(), QStringLiteral("InitialPreference")).toStdString(), "0");

    struct Case {
        const char* name;
        bool withPackageFiles; // the installed lib/mime/packages, or an empty one
        bool entriesExpected;
    };
    for (const Case& check : {Case{"as installed", true, false}, Case{"the desktop entry alone", false, true}}) {
        SCOPED_TRACE(check.name);
        QTemporaryDir work;
        ASSERT_TRUE(work.isValid());
        ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("packages")));
        const QString packages = check.withPackageFiles ? Installed("lib/mime/packages") : work.filePath("packages");
        const QStringList entries = MailcapEntries(packages, Installed("share/applications"), work.path());
        const QStringList ours = entries.filter(QStringLiteral("lantrix"));
        if (check.entriesExpected) {
            EXPECT_FALSE(ours.filter(QRegularExpression(QStringLiteral("^image/png;"))).isEmpty())
                << entries.join(QLatin1Char('\n')).toStdString();
        } else {
            EXPECT_TRUE(ours.isEmpty()) << ours.join(QLatin1Char('\n')).toStdString();
        }
    }
}

// Both validators must have nothing at all to say, pedantic remarks included,
// but one: the maker is named in both forms, AppStream 1.0's <developer>
// (Debian 13) and the <developer_name> before it (Debian 12), so that the
// software centres of both show it; each validator remarks on the form it
// does not use. The tree check also finds the desktop entry and the icon.
TEST_F(InstalledLayout, MetainfoValidates)
{
    const RunOutcome version = RunProgram(QStringLiteral("appstreamcli"), {QStringLiteral("--version")});
    const QRegularExpressionMatch major = QRegularExpression(QStringLiteral("(\\d+)\\.\\d+")).match(version.out);
    ASSERT_TRUE(major.hasMatch()) << version.out.toStdString();
    const QString expected = major.captured(1).toInt() >= 1 ? QStringLiteral("developer-name-tag-deprecated")
                                                            : QStringLiteral("unknown-tag developer");
    const QList<QStringList> checks{
        {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"), MetainfoFile()},
        {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"), fPrefix->path()}};
    for (const QStringList& arguments : checks) {
        const RunOutcome run = RunProgram(QStringLiteral("appstreamcli"), arguments);
        EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
        const QRegularExpression remark(QStringLiteral("^\\s*([EWIP]): (.*)$"), QRegularExpression::MultilineOption);
        auto remarks = remark.globalMatch(run.out + run.err);
        int expectedRemarks = 0;
        while (remarks.hasNext()) {
            const QRegularExpressionMatch next = remarks.next();
            if (next.captured(1) == QLatin1String("I") && next.captured(2).endsWith(expected))
                ++expectedRemarks;
            else
                ADD_FAILURE() << arguments.first().toStdString() << ": " << next.captured(0).trimmed().toStdString();
        }
        EXPECT_EQ(expectedRemarks, 1) << arguments.first().toStdString() << ": " << expected.toStdString();
    }
}

TEST_F(InstalledLayout, OneApplicationIdEverywhere)
{
    EXPECT_EQ(DesktopEntryValue(DesktopFile(), "Icon").toStdString(), kAppId.toStdString());
    EXPECT_EQ(DesktopEntryValue(DesktopFile(), "Exec").toStdString(), "lantrix %f");
    EXPECT_EQ(FirstElement(MetainfoFile(), "id").text.toStdString(), kAppId.toStdString());
    EXPECT_EQ(FirstElement(MetainfoFile(), "launchable").text.toStdString(), (kAppId + ".desktop").toStdString());
}

// The newest release named in the description, the manual pages and the
// Debian changelog is the program's version: a new version needs all three.
TEST_F(InstalledLayout, ReleaseIsTheProgramsVersion)
{
    const QString version = QStringLiteral(LANTRIX_RELEASE_VERSION);
    const XmlElement release = FirstElement(MetainfoFile(), "release");
    ASSERT_TRUE(release.found);
    EXPECT_EQ(release.attributes.value("version").toString().toStdString(), version.toStdString());
    for (const char* page : {"lantrix.1", "lantrix-scan.1"}) {
        const QString source = QString::fromUtf8(ReadFile(Installed(QStringLiteral("share/man/man1/") + page)));
        EXPECT_TRUE(source.section(QLatin1Char('\n'), 0, 0).contains("\"Lantrix " + version + "\"")) << page;
    }
    const QString changelog = QString::fromUtf8(ReadFile(QStringLiteral(LANTRIX_SOURCE_DIR "/debian/changelog")));
    EXPECT_TRUE(changelog.startsWith("lantrix (" + version + "-")) << changelog.left(40).toStdString();
}

TEST_F(InstalledLayout, ScreenshotIsTheOneInTheRepository)
{
    const XmlElement image = FirstElement(MetainfoFile(), "image");
    ASSERT_TRUE(image.found);
    EXPECT_TRUE(image.text.startsWith(QStringLiteral("https://" LANTRIX_WEB_HOST "/"))) << image.text.toStdString();
    const QString name = image.text.section(QLatin1Char('/'), -1);
    const QString file = QStringLiteral(LANTRIX_SOURCE_DIR "/dist/screenshots/") + name;
    const QImage picture(file);
    ASSERT_FALSE(picture.isNull()) << file.toStdString();
    EXPECT_EQ(image.attributes.value("width").toInt(), picture.width());
    EXPECT_EQ(image.attributes.value("height").toInt(), picture.height());
    EXPECT_LT(QFileInfo(file).size(), 100 * 1024) << "keep the screenshot small";
}

TEST_F(InstalledLayout, IconInEverySize)
{
    EXPECT_FALSE(QImage(Installed("share/icons/hicolor/scalable/apps/" + kAppId + ".svg")).isNull());
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(Installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
        EXPECT_EQ(icon.width(), size);
        EXPECT_EQ(icon.height(), size);
    }
}

TEST_F(InstalledLayout, InstalledScannerReadsAnInstalledSample)
{
    const RunOutcome run = RunProgram(Installed("bin/lantrix-scan"), {Installed("share/lantrix/samples/qr_code.png")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), (kQrText + "\n").toStdString());
    EXPECT_EQ(run.err.toStdString(), "");
}

// The live modes come from their own part, which the installed scanner
// finds in the library folder: a test source's frames are scanned to its end.
TEST_F(InstalledLayout, InstalledScannerScansLive)
{
    const RunOutcome run =
        RunProgram(Installed("bin/lantrix-scan"),
                   {QStringLiteral("--pipeline"), QStringLiteral("videotestsrc num-buffers=5 ! videoconvert"),
                    QStringLiteral("--timeout"), QStringLiteral("60")});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString(); // the source ended without a code
    EXPECT_EQ(run.out.toStdString(), "");
    EXPECT_EQ(run.err.toStdString(), "");
}

// groff's warnings are what man(1) and lintian complain about.
TEST_F(InstalledLayout, ManualPagesFormatWithoutWarnings)
{
    for (const char* page : {"lantrix.1", "lantrix-scan.1"}) {
        const RunOutcome run =
            RunProgram(QStringLiteral("groff"),
                       {QStringLiteral("-t"), QStringLiteral("-man"), QStringLiteral("-ww"), QStringLiteral("-z"),
                        QStringLiteral("-Tutf8"), Installed(QStringLiteral("share/man/man1/") + page)});
        EXPECT_EQ(run.exitCode, 0) << page;
        EXPECT_EQ(run.err.toStdString(), "") << page;
    }
}

// The scanner's page names every option of its usage text, every code
// format and every sample format.
TEST_F(InstalledLayout, ScannerPageNamesEveryOption)
{
    const QString page = QString::fromUtf8(ReadFile(Installed("share/man/man1/lantrix-scan.1")));
    const RunOutcome help = RunProgram(Installed("bin/lantrix-scan"), {QStringLiteral("--help")});
    ASSERT_EQ(help.exitCode, 0);
    auto options = QRegularExpression(QStringLiteral("--[a-z][a-z-]*")).globalMatch(help.out);
    int count = 0;
    for (; options.hasNext(); ++count) {
        const QString option = options.next().captured(0);
        const QString inRoff = QString(option).replace(QLatin1Char('-'), QLatin1String("\\-"));
        EXPECT_TRUE(page.contains(inRoff)) << option.toStdString();
    }
    EXPECT_GE(count, 4);
    for (const TCodeFormatInfo& format : kCodeFormats)
        EXPECT_TRUE(page.contains(QLatin1String(format.name))) << format.name;
    for (const TCodeFormatInfo& format : kUnlistedCodeFormats)
        EXPECT_TRUE(page.contains(QLatin1String(format.name))) << format.name;
    for (const TSampleFormatInfo& format : kSampleFormats)
        EXPECT_TRUE(page.contains(QLatin1String(format.name))) << format.name;
}

// --- The picture types of the desktop entry against the loader ---

// The QR sample drawn anew, `side` pixels square, with modules of six pixels.
QImage QrPicture(int side)
{
    const QImage sample(QStringLiteral(LANTRIX_SOURCE_DIR "/samples/qr_code.png"));
    EXPECT_EQ(sample.width(), 37 * 8); // 29 modules and a margin of 4, of 8 pixels each
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const int module = 6, offset = (side - 37 * module) / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int column = (x - offset) / module, row = (y - offset) / module;
            if (x >= offset && y >= offset && column < 37 && row < 37
                && qGray(sample.pixel(column * 8 + 4, row * 8 + 4)) < 128)
                picture.setPixel(x, y, qRgb(0, 0, 0));
        }
    return picture;
}

bool IsDark(const QImage& picture, int x, int y)
{
    return qGray(picture.pixel(x, y)) < 128;
}

// An uncompressed true-colour TGA file (version 2, which Qt reads), rows from the top.
QByteArray TgaFile(const QImage& picture)
{
    QByteArray bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(picture.width() & 0xff);
    bytes[13] = char(picture.width() >> 8);
    bytes[14] = char(picture.height() & 0xff);
    bytes[15] = char(picture.height() >> 8);
    bytes[16] = 24;
    bytes[17] = 0x20;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            bytes.append(char(qBlue(pixel))).append(char(qGreen(pixel))).append(char(qRed(pixel)));
        }
    return bytes + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18);
}

// A two-colour GIF file. Its LZW stream uses no string of the table: a clear
// code before every two pixels keeps the codes three bits wide.
QByteArray GifFile(const QImage& picture)
{
    QByteArray bytes("GIF89a");
    const auto word = [&bytes](int value) { bytes.append(char(value & 0xff)).append(char(value >> 8)); };
    word(picture.width());
    word(picture.height());
    bytes.append(char(0x80)).append('\0').append('\0'); // a global table of two colours
    bytes.append(QByteArray::fromHex("000000ffffff"));  // black, white
    bytes.append(',');                                  // the picture
    word(0);
    word(0);
    word(picture.width());
    word(picture.height());
    bytes.append('\0').append(char(2)); // no local table; code size 2

    QByteArray stream;
    quint32 bits = 0;
    int bitCount = 0;
    const auto code = [&](int value) {
        bits |= quint32(value) << bitCount;
        for (bitCount += 3; bitCount >= 8; bitCount -= 8, bits >>= 8)
            stream.append(char(bits & 0xff));
    };
    const int clear = 4, end = 5;
    int pixels = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            if (pixels++ % 2 == 0)
                code(clear);
            code(IsDark(picture, x, y) ? 0 : 1);
        }
    code(end);
    if (bitCount > 0)
        stream.append(char(bits & 0xff));
    for (qsizetype at = 0; at < stream.size(); at += 255) {
        const QByteArray block = stream.mid(at, 255);
        bytes.append(char(block.size())).append(block);
    }
    bytes.append('\0').append(';');
    return bytes;
}

// An SVG drawing of the picture's dark pixels, one rectangle a run.
QByteArray SvgFile(const QImage& picture)
{
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\">"
                                 "<rect width=\"%1\" height=\"%2\" fill=\"#fff\"/>")
                      .arg(picture.width())
                      .arg(picture.height());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width();) {
            if (!IsDark(picture, x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < picture.width() && IsDark(picture, x, y))
                ++x;
            svg +=
                QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\"/>").arg(start).arg(y).arg(x - start);
        }
    return (svg + QStringLiteral("</svg>")).toUtf8();
}

QByteArray Gzipped(const QByteArray& data)
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(int(deflateBound(&zs, uLong(data.size()))) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    const int result = deflate(&zs, Z_FINISH);
    out.truncate(qsizetype(zs.total_out));
    deflateEnd(&zs);
    return result == Z_STREAM_END ? out : QByteArray();
}

QByteArray Chunk(const char* type, const QByteArray& data)
{
    QByteArray chunk;
    const auto number = [&chunk](quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk.append(char((value >> shift) & 0xff));
    };
    number(quint32(data.size()));
    const QByteArray body = QByteArray(type) + data;
    chunk.append(body);
    number(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    return chunk;
}

// A one-frame MNG file: the chunks of a PNG file between MNG's header and end.
QByteArray MngFile(const QImage& picture)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "png");
    QByteArray header;
    for (const quint32 value : {quint32(picture.width()), quint32(picture.height()), 1u, 1u, 1u, 0u, 1u})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.append(char((value >> shift) & 0xff));
    return QByteArray("\x8aMNG\r\n\x1a\n", 8) + Chunk("MHDR", header) + png.mid(8) + Chunk("MEND", {});
}

// A file of `type` showing `picture`, named with one of the loader's
// extensions for it: written by Qt where it writes the format, else by the
// makers above. Empty when there is no way to make one.
QString MakePictureFile(const QString& folder, const QString& type, const QImage& picture)
{
    static const std::map<QString, std::pair<QString, std::function<QByteArray(const QImage&)>>> handMade{
        {"image/gif", {"gif", GifFile}},
        {"image/x-tga", {"tga", TgaFile}},
        {"image/svg+xml", {"svg", SvgFile}},
        {"image/svg+xml-compressed", {"svgz", [](const QImage& p) { return Gzipped(SvgFile(p)); }}},
        {"video/x-mng", {"mng", MngFile}}};
    if (const auto made = handMade.find(type); made != handMade.end())
        return WriteTestFile(folder, "picture." + made->second.first, made->second.second(picture));

    const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    for (const QString& suffix : QMimeDatabase().mimeTypeForName(type).suffixes()) {
        const QByteArray format = suffix.toLatin1();
        if (!readable.contains(format) || !writable.contains(format))
            continue;
        const QString path = folder + "/picture." + suffix;
        QImage written = picture;
        if (format == "wbmp" || format == "xbm")
            written = picture.convertToFormat(QImage::Format_Mono);
        QImageWriter writer(path, format);
        if (format == "webp" || format == "jpeg" || format == "jpg")
            writer.setQuality(95);
        if (!writer.write(written))
            ADD_FAILURE() << "cannot write " << path.toStdString() << ": " << writer.errorString().toStdString();
        return path;
    }
    return QString();
}

// Every type that the desktop entry offers to open is one the loader reads:
// a picture of that type, as the desktop tells types apart, loads and decodes.
TEST_F(InstalledLayout, EveryOfferedTypeLoadsAndDecodes)
{
    const QSet<QString> offered = OfferedTypes(DesktopFile());
    ASSERT_FALSE(offered.isEmpty());
    QTemporaryDir folder;
    QMimeDatabase types;
    for (const QString& type : offered) {
        SCOPED_TRACE(type.toStdString());
        // 256 pixels, the largest size every format keeps (icons). Qt's WBMP
        // reader refuses a width of 128 or 256, whose size bytes end in zero.
        const QImage picture = QrPicture(type == QLatin1String("image/vnd.wap.wbmp") ? 240 : 256);
        QTemporaryDir own(folder.filePath("XXXXXX"));
        const QString file = MakePictureFile(own.path(), type, picture);
        ASSERT_FALSE(file.isEmpty()) << "no picture of this type can be made";
        EXPECT_EQ(types.mimeTypeForFile(file).name().toStdString(), type.toStdString());
        try {
            QImage loaded = LoadPicture(file);
            EXPECT_EQ(loaded.width(), picture.width());
            EXPECT_EQ(loaded.height(), picture.height());
            const std::optional<QString> text = DecodeBitmap(loaded, TBarcodeFormat::Auto);
            EXPECT_EQ(text.value_or(QString()).toStdString(), kQrText.toStdString());
        } catch (const EPictureError& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

// And the other way round: every file name the loader accepts is of a type
// that the desktop entry offers to open.
TEST_F(InstalledLayout, EveryTypeTheLoaderReadsIsOffered)
{
    const QSet<QString> offered = OfferedTypes(DesktopFile());
    QMimeDatabase types;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QList<QMimeType> ofName = types.mimeTypesForFileName("picture." + QString::fromLatin1(format));
        EXPECT_FALSE(ofName.isEmpty()) << format.constData();
        for (const QMimeType& type : ofName)
            EXPECT_TRUE(offered.contains(type.name())) << format.constData() << " is " << type.name().toStdString();
    }
}

} // namespace
