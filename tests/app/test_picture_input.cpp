// Pictures that come by drop, clipboard or command line, and the screenshot
// portal's protocol rules: which offer gives which input, and how the
// portal's answers are read.
#include "app/PictureInput.h"
#include "app/ScreenshotPortal.h"
#include "decode/PictureLoader.h"
#include "support/Samples.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray PngBytes(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// A folder with a picture file and a text file in it, for every case.
struct Files {
    QTemporaryDir dir;
    QString picture = dir.filePath(QStringLiteral("code.png"));
    QString text = dir.filePath(QStringLiteral("notes.txt"));
    Files()
    {
        QFile::copy(SamplePath(QStringLiteral("qr_code.png")), picture);
        QFile file(text);
        file.open(QIODevice::WriteOnly);
        file.write("not a picture");
    }
};

// Picture bytes are not read here: they go to the decoder process as they came.
enum class Expect { None, PictureFile, TextFile, Picture, QrBytes, DamagedBytes };

struct MimeCase {
    const char* name;
    std::function<void(QMimeData&, const Files&)> fill;
    Expect expect;
};

void PrintTo(const MimeCase& c, std::ostream* os)
{
    *os << c.name;
}

class MimeOffer : public ::testing::TestWithParam<MimeCase> {};

TEST_P(MimeOffer, GivesTheInputInItsOrderOfChoice)
{
    Files files;
    ASSERT_TRUE(QFile::exists(files.picture));
    QMimeData data;
    GetParam().fill(data, files);

    const Expect expect = GetParam().expect;
    EXPECT_EQ(OffersPictureInput(data), expect != Expect::None);
    const TPictureInput input = PictureInputFromMime(data);
    switch (expect) {
    case Expect::None:
        EXPECT_EQ(input.kind, TPictureInput::TKind::None);
        EXPECT_FALSE(input);
        break;
    case Expect::PictureFile:
    case Expect::TextFile:
        EXPECT_EQ(input.kind, TPictureInput::TKind::File);
        EXPECT_EQ(input.file, expect == Expect::PictureFile ? files.picture : files.text);
        EXPECT_TRUE(input.picture.isNull());
        break;
    case Expect::Picture:
        EXPECT_EQ(input.kind, TPictureInput::TKind::Picture);
        EXPECT_EQ(input.picture.size(), LoadSample(QStringLiteral("qr_code.png")).size());
        EXPECT_TRUE(input.file.isEmpty());
        break;
    case Expect::QrBytes:
    case Expect::DamagedBytes:
        EXPECT_EQ(input.kind, TPictureInput::TKind::Data);
        EXPECT_EQ(input.data,
                  QList<QByteArray>{expect == Expect::QrBytes ? PngBytes(LoadSample(QStringLiteral("qr_code.png")))
                                                              : QByteArray("\x89PNG\r\n\x1a\nbroken")});
        EXPECT_TRUE(input.picture.isNull());
        EXPECT_TRUE(input.file.isEmpty());
        break;
    }
}

const QImage& Qr()
{
    static const QImage qr = LoadSample(QStringLiteral("qr_code.png"));
    return qr;
}

INSTANTIATE_TEST_SUITE_P(
    DropAndClipboard, MimeOffer,
    ::testing::Values(
        MimeCase{"file_url", [](QMimeData& d, const Files& f) { d.setUrls({QUrl::fromLocalFile(f.picture)}); },
                 Expect::PictureFile},
        // A file that is no picture is still a file: the loader says what is wrong with it.
        MimeCase{"file_url_of_a_text_file",
                 [](QMimeData& d, const Files& f) { d.setUrls({QUrl::fromLocalFile(f.text)}); }, Expect::TextFile},
        MimeCase{"first_local_file_of_several",
                 [](QMimeData& d, const Files& f) {
                     d.setUrls({QUrl(QStringLiteral("https://example.invalid/a.png")), QUrl::fromLocalFile(f.picture),
                                QUrl::fromLocalFile(f.text)});
                 },
                 Expect::PictureFile},
        // "%00" decodes to a NUL, which no file name holds: no file of this
        // machine, so the next one is taken.
        MimeCase{"file_url_with_a_nul_passed_over",
                 [](QMimeData& d, const Files& f) {
                     d.setUrls({QUrl(QStringLiteral("file:///tmp/a%00b.png")), QUrl::fromLocalFile(f.picture)});
                 },
                 Expect::PictureFile},
        MimeCase{"file_url_with_a_nul_only",
                 [](QMimeData& d, const Files&) { d.setUrls({QUrl(QStringLiteral("file:///tmp/a%00b.png"))}); },
                 Expect::None},
        MimeCase{"file_before_picture_data",
                 [](QMimeData& d, const Files& f) {
                     d.setUrls({QUrl::fromLocalFile(f.picture)});
                     d.setImageData(QImage(5, 5, QImage::Format_RGB32));
                 },
                 Expect::PictureFile},
        MimeCase{"picture_held_by_qt", [](QMimeData& d, const Files&) { d.setImageData(Qr()); }, Expect::Picture},
        MimeCase{"png_bytes",
                 [](QMimeData& d, const Files&) { d.setData(QStringLiteral("image/png"), PngBytes(Qr())); },
                 Expect::QrBytes},
        // A browser's picture: its web address, which is passed over, and its data.
        MimeCase{"browser_picture",
                 [](QMimeData& d, const Files&) {
                     d.setUrls({QUrl(QStringLiteral("https://example.invalid/code.png"))});
                     d.setHtml(QStringLiteral("<img src=\"https://example.invalid/code.png\">"));
                     d.setData(QStringLiteral("image/png"), PngBytes(Qr()));
                 },
                 Expect::QrBytes},
        // Qt's picture for bytes it was given is read from those bytes, in
        // this process: with bytes on offer, the bytes alone are taken.
        MimeCase{"damaged_bytes_then_picture_held_by_qt",
                 [](QMimeData& d, const Files&) {
                     d.setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\nbroken"));
                     d.setImageData(Qr());
                 },
                 Expect::DamagedBytes},
        MimeCase{"damaged_bytes_only",
                 [](QMimeData& d, const Files&) {
                     d.setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\nbroken"));
                 },
                 Expect::DamagedBytes},
        MimeCase{"path_as_text", [](QMimeData& d, const Files& f) { d.setText(f.picture); }, Expect::PictureFile},
        MimeCase{
            "path_as_text_with_blanks",
            [](QMimeData& d, const Files& f) { d.setText(QStringLiteral("  ") + f.picture + QStringLiteral("\n")); },
            Expect::PictureFile},
        MimeCase{"file_uri_as_text",
                 [](QMimeData& d, const Files& f) { d.setText(QUrl::fromLocalFile(f.picture).toString()); },
                 Expect::PictureFile},
        MimeCase{"words_as_text", [](QMimeData& d, const Files&) { d.setText(QStringLiteral("hello world")); },
                 Expect::None},
        MimeCase{"relative_path_as_text", [](QMimeData& d, const Files&) { d.setText(QStringLiteral("code.png")); },
                 Expect::None},
        MimeCase{"missing_file_as_text",
                 [](QMimeData& d, const Files& f) { d.setText(f.dir.filePath(QStringLiteral("gone.png"))); },
                 Expect::None},
        MimeCase{"folder_as_text", [](QMimeData& d, const Files& f) { d.setText(f.dir.path()); }, Expect::None},
        MimeCase{"two_paths_as_text",
                 [](QMimeData& d, const Files& f) { d.setText(f.picture + QStringLiteral("\n") + f.text); },
                 Expect::None},
        MimeCase{"web_address_only",
                 [](QMimeData& d, const Files&) { d.setUrls({QUrl(QStringLiteral("https://example.invalid/a.png"))}); },
                 Expect::None},
        MimeCase{"html_only", [](QMimeData& d, const Files&) { d.setHtml(QStringLiteral("<b>code</b>")); },
                 Expect::None},
        MimeCase{"nothing", [](QMimeData&, const Files&) {}, Expect::None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PictureSourceText, SaysWhereThePictureCameFrom)
{
    EXPECT_EQ(PictureSourceText(TPictureSource::Clipboard), QStringLiteral("[Picture from the clipboard]"));
    EXPECT_EQ(PictureSourceText(TPictureSource::Drop), QStringLiteral("[Dropped picture]"));
    EXPECT_EQ(PictureSourceText(TPictureSource::Screen), QStringLiteral("[Screenshot]"));
}

struct ArgumentCase {
    const char* name;
    QStringList arguments;
    std::optional<QString> expected; // relative paths against the current folder
};

void PrintTo(const ArgumentCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLine : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(CommandLine, NamesThePictureFile)
{
    std::optional<QString> expected = GetParam().expected;
    if (expected)
        expected = QDir::current().absoluteFilePath(*expected);
    EXPECT_EQ(PictureFileArgument(GetParam().arguments), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLine,
    ::testing::Values(ArgumentCase{"nothing", {"lantrix"}, std::nullopt},
                      ArgumentCase{"no_program_name", {}, std::nullopt},
                      ArgumentCase{"absolute_path", {"lantrix", "/pictures/code.png"}, "/pictures/code.png"},
                      ArgumentCase{"relative_path", {"lantrix", "code.png"}, "code.png"},
                      ArgumentCase{"file_uri", {"lantrix", "file:///pictures/my%20code.png"}, "/pictures/my code.png"},
                      ArgumentCase{"options_passed_over", {"lantrix", "-x", "--verbose", "/p/a.png"}, "/p/a.png"},
                      ArgumentCase{"options_only", {"lantrix", "-x", "--verbose"}, std::nullopt},
                      ArgumentCase{"first_of_two", {"lantrix", "/p/a.png", "/p/b.png"}, "/p/a.png"},
                      ArgumentCase{"dash_file_after_end_of_options", {"lantrix", "--", "-odd.png"}, "-odd.png"},
                      ArgumentCase{"empty_argument", {"lantrix", "", "/p/a.png"}, "/p/a.png"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OptionCase {
    const char* name;
    QStringList arguments;
    std::optional<QString> unknown;
};

void PrintTo(const OptionCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnknownOptions : public ::testing::TestWithParam<OptionCase> {};

// What is left once Qt has taken its own options: any option is unknown.
TEST_P(UnknownOptions, AreNamed)
{
    EXPECT_EQ(UnknownOption(GetParam().arguments), GetParam().unknown);
}

INSTANTIATE_TEST_SUITE_P(Arguments, UnknownOptions,
                         ::testing::Values(OptionCase{"none", {"lantrix"}, std::nullopt},
                                           OptionCase{"a_picture", {"lantrix", "/p/a.png"}, std::nullopt},
                                           OptionCase{"long", {"lantrix", "--bogus", "/p/a.png"}, "--bogus"},
                                           OptionCase{"short_after_the_picture", {"lantrix", "/p/a.png", "-x"}, "-x"},
                                           OptionCase{"a_lone_dash", {"lantrix", "-"}, "-"},
                                           OptionCase{
                                               "after_end_of_options", {"lantrix", "--", "--odd.png"}, std::nullopt},
                                           OptionCase{"empty_argument", {"lantrix", ""}, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

class UnknownOptionsBeforeQt : public ::testing::TestWithParam<OptionCase> {};

// Before Qt has taken its options: those it documents, and their values, pass.
TEST_P(UnknownOptionsBeforeQt, AreNamed)
{
    EXPECT_EQ(UnknownOptionBeforeQt(GetParam().arguments), GetParam().unknown);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UnknownOptionsBeforeQt,
    ::testing::Values(OptionCase{"none", {"lantrix", "/p/a.png"}, std::nullopt},
                      OptionCase{
                          "qt_option_and_value", {"lantrix", "-platform", "offscreen", "/p/a.png"}, std::nullopt},
                      OptionCase{"two_dashes_and_equals", {"lantrix", "--style=fusion", "-reverse"}, std::nullopt},
                      OptionCase{"a_value_that_looks_like_an_option", {"lantrix", "-title", "-x"}, std::nullopt},
                      OptionCase{"unknown_among_qt_options", {"lantrix", "-reverse", "--bogus"}, "--bogus"},
                      OptionCase{"a_flag_given_a_value", {"lantrix", "-reverse=1"}, "-reverse=1"},
                      OptionCase{"after_end_of_options", {"lantrix", "--", "--bogus"}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortalRequestPath, FromTheSendersUniqueNameAndTheToken)
{
    EXPECT_EQ(PortalRequestPath(QStringLiteral(":1.42"), QStringLiteral("lantrix1")),
              QStringLiteral("/org/freedesktop/portal/desktop/request/1_42/lantrix1"));
    EXPECT_EQ(PortalRequestPath(QStringLiteral(":1.2.3"), QStringLiteral("t")),
              QStringLiteral("/org/freedesktop/portal/desktop/request/1_2_3/t"));
}

TEST(ScreenshotOutcome, ResponseCodes)
{
    const QVariantMap withUri{{QStringLiteral("uri"), QStringLiteral("file:///tmp/Screenshot%20one.png")}};
    TScreenshotOutcome taken = ScreenshotOutcome(0, withUri);
    EXPECT_EQ(taken.status, TScreenshotOutcome::TStatus::Taken);
    EXPECT_EQ(taken.file, QStringLiteral("/tmp/Screenshot one.png"));

    // Taken, but no picture to be read: a failure the user hears about. A
    // file: URI naming another host ("//server/s.png" on this machine is
    // /server/s.png) or a relative path (read from wherever the program
    // runs) names no picture of the portal's either.
    for (const char* uri :
         {"", "https://example.invalid/s.png", "file://server/share/s.png", "file:s.png", "file:relative/s.png"}) {
        const QVariantMap results =
            *uri ? QVariantMap{{QStringLiteral("uri"), QString::fromLatin1(uri)}} : QVariantMap();
        const TScreenshotOutcome outcome = ScreenshotOutcome(0, results);
        EXPECT_EQ(outcome.status, TScreenshotOutcome::TStatus::Failed) << uri;
        EXPECT_TRUE(outcome.file.isEmpty()) << uri;
        EXPECT_TRUE(outcome.message.startsWith(QStringLiteral("The screenshot could not be taken.")));
    }

    const TScreenshotOutcome cancelled = ScreenshotOutcome(1, withUri);
    EXPECT_EQ(cancelled.status, TScreenshotOutcome::TStatus::Cancelled);
    EXPECT_TRUE(cancelled.message.isEmpty());
    EXPECT_TRUE(cancelled.file.isEmpty());

    for (const uint code : {2u, 3u}) {
        const TScreenshotOutcome failed = ScreenshotOutcome(code, withUri);
        EXPECT_EQ(failed.status, TScreenshotOutcome::TStatus::Failed);
        EXPECT_EQ(failed.message, QStringLiteral("The screenshot could not be taken."));
        EXPECT_TRUE(failed.file.isEmpty());
    }
}

TEST(ScreenshotCallError, MissingPortalOrFailure)
{
    for (const char* name : {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.UnknownMethod",
                             "org.freedesktop.DBus.Error.UnknownInterface", "org.freedesktop.DBus.Error.UnknownObject"})
        EXPECT_EQ(ScreenshotCallError(QLatin1String(name), QStringLiteral("x")).status,
                  TScreenshotOutcome::TStatus::NoPortal)
            << name;
    const TScreenshotOutcome failed =
        ScreenshotCallError(QStringLiteral("org.freedesktop.portal.Error.NotAllowed"), QStringLiteral("Not allowed"));
    EXPECT_EQ(failed.status, TScreenshotOutcome::TStatus::Failed);
    EXPECT_EQ(failed.message, QStringLiteral("The screenshot could not be taken.\nNot allowed"));
}

TEST(ChooseScreenshotRoad, PortalFirstThenX11)
{
    EXPECT_EQ(ChooseScreenshotRoad(true, QStringLiteral("wayland")), TScreenshotRoad::Portal);
    EXPECT_EQ(ChooseScreenshotRoad(true, QStringLiteral("xcb")), TScreenshotRoad::Portal);
    EXPECT_EQ(ChooseScreenshotRoad(false, QStringLiteral("xcb")), TScreenshotRoad::ScreenGrab);
    EXPECT_EQ(ChooseScreenshotRoad(false, QStringLiteral("wayland")), TScreenshotRoad::None);
    EXPECT_EQ(ChooseScreenshotRoad(false, QStringLiteral("offscreen")), TScreenshotRoad::None);
}

} // namespace
