// Camera sources: the lines of cameras.ini, the file read at each listing,
// the added sources, and their place in the device list. The system's
// cameras as the device providers give them: in the test's own providers'
// order, hidden as they hide each other, and a provider that hangs costs its
// own cameras only.
#include "capture/CameraSources.h"
#include "capture/CaptureDevices.h"
#include "capture/DeviceProviders.h"
#include "capture/GstSupport.h"
#include "capture/TestDeviceProviders.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <ostream>
#include <thread>
#include <vector>

// Names in failure messages as text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

struct ParseCase {
    const char* name;
    QByteArray text;
    std::vector<std::pair<const char*, const char*>> sources;
};

void PrintTo(const ParseCase& c, std::ostream* out)
{
    *out << c.name;
}

class ParseSources : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseSources, NameAndDescriptionPerLine)
{
    const QList<TCameraSource> parsed = ParseCameraSources(GetParam().text);
    ASSERT_EQ(parsed.size(), qsizetype(GetParam().sources.size()));
    for (qsizetype i = 0; i < parsed.size(); ++i) {
        EXPECT_EQ(parsed[i].name, QString::fromUtf8(GetParam().sources[std::size_t(i)].first));
        EXPECT_EQ(parsed[i].description, QString::fromUtf8(GetParam().sources[std::size_t(i)].second));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseSources,
    ::testing::Values(ParseCase{"one",
                                "Door = rtspsrc location=rtsp://door/stream ! decodebin ! videoconvert\n",
                                {{"Door", "rtspsrc location=rtsp://door/stream ! decodebin ! videoconvert"}}},
                      ParseCase{"equals_in_description",
                                "Phone=souphttpsrc location=http://phone:8080/video?a=1 ! jpegdec",
                                {{"Phone", "souphttpsrc location=http://phone:8080/video?a=1 ! jpegdec"}}},
                      ParseCase{"blanks_trimmed_crlf",
                                "  Front Desk   =   videotestsrc ! videoconvert  \r\n\tBack =x\r\n",
                                {{"Front Desk", "videotestsrc ! videoconvert"}, {"Back", "x"}}},
                      ParseCase{
                          "comments_sections_and_junk",
                          "; a comment\n# another = not a camera\n[Cameras]\n\nno equals sign\n= no name\nA = a\n",
                          {{"A", "a"}}},
                      ParseCase{"empty_description_kept", "Empty =\n", {{"Empty", ""}}},
                      ParseCase{"same_name_twice", "Cam = a\nCam = b\n", {{"Cam", "a"}, {"Cam", "b"}}},
                      ParseCase{"utf8_names",
                                "K\xc3\xbc"
                                "che = videotestsrc\n",
                                {{"K\xc3\xbc"
                                  "che",
                                  "videotestsrc"}}},
                      ParseCase{"no_final_newline", "A = a", {{"A", "a"}}}, ParseCase{"empty_file", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

class SourcesFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("cameras.ini"));
        TCameraSources::SetFile(path);
        TCameraSources::Clear();
    }
    void TearDown() override
    {
        TCameraSources::SetFile(QString());
        TCameraSources::Clear();
    }
    void Write(const QByteArray& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    static QStringList Names(const QList<TCameraSource>& sources)
    {
        QStringList names;
        for (const TCameraSource& source : sources)
            names.append(source.name);
        return names;
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(SourcesFile, ReadAtEveryListing)
{
    EXPECT_TRUE(TCameraSources::List().isEmpty()); // no file yet
    Write("A = a\nB = b\n");
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"A", "B"}));
    Write("C = c\n");
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"C"}));
    TCameraSources::Add(QStringLiteral("Given"), QStringLiteral("videotestsrc"));
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"C", "Given"}));
    QFile::remove(path);
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"Given"}));
    TCameraSources::SetFile(QString());
    Write("D = d\n");
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"Given"}));
}

TEST_F(SourcesFile, AHugeFileIsNoListOfCameras)
{
    Write("A = a\n" + QByteArray(2 * 1024 * 1024, '\n'));
    EXPECT_TRUE(TCameraSources::List().isEmpty());
}

// Added sources keep the order they were added in, after the file's; one
// removed by name goes with every added source of that name and leaves the
// file's alone.
TEST_F(SourcesFile, AddedSourcesFollowTheFileInTheirOrder)
{
    Write("A = from the file\n");
    TCameraSources::Add(QStringLiteral("B"), QStringLiteral("b"));
    TCameraSources::Add(QStringLiteral("A"), QStringLiteral("a one"));
    TCameraSources::Add(QStringLiteral("C"), QStringLiteral("c"));
    TCameraSources::Add(QStringLiteral("A"), QStringLiteral("a two"));
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"A", "B", "A", "C", "A"}));
    EXPECT_EQ(Names(TCameraSources::Added()), (QStringList{"B", "A", "C", "A"}));
    EXPECT_EQ(TCameraSources::Added()[3].description, QStringLiteral("a two"));

    TCameraSources::Remove(QStringLiteral("A"));
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(TCameraSources::List()[0].description, QStringLiteral("from the file"));
    TCameraSources::Remove(QStringLiteral("Nobody"));
    EXPECT_EQ(Names(TCameraSources::Added()), (QStringList{"B", "C"}));
    TCameraSources::Clear();
    EXPECT_EQ(Names(TCameraSources::List()), (QStringList{"A"}));
}

TEST_F(SourcesFile, ListedAfterTheSystemsCamerasFileFirst)
{
    std::vector<TCaptureDevice> before = ListCaptureDevices();
    const std::size_t system = before.size();
    Write("Door = videotestsrc ! videoconvert\n");
    TCameraSources::Add(QStringLiteral("Given"), QStringLiteral("videotestsrc ! identity"));
    TCameraSources::Add(QStringLiteral("Test One"), QStringLiteral("videotestsrc"));
    const std::vector<TCaptureDevice> devices = ListCaptureDevices();
    ASSERT_EQ(devices.size(), system + 3);
    EXPECT_EQ(devices[system].name, QStringLiteral("Door"));
    EXPECT_EQ(devices[system].description, QStringLiteral("videotestsrc ! videoconvert"));
    EXPECT_FALSE(devices[system].device);
    EXPECT_EQ(devices[system + 1].name, QStringLiteral("Given"));
    EXPECT_EQ(devices[system + 2].name, QStringLiteral("Test One"));

    QStringList names;
    EnumCaptureDevices(names);
    EXPECT_EQ(names.mid(qsizetype(system)), (QStringList{"Door", "Given", "Test One"}));
}

// A description's bin has one output, the source pad of its own elements
// that nothing is linked to; sink pads waiting for a pad that comes later
// stay free for it.
struct SourceCase {
    const char* name;
    const char* description;
    const char* outputElement; // the element whose pad is the output; nullptr: no source
    const char* error;         // then a part of the reason
};

void PrintTo(const SourceCase& c, std::ostream* out)
{
    *out << c.name;
}

class DescribedSource : public ::testing::TestWithParam<SourceCase> {};

TEST_P(DescribedSource, OutputIsTheFreeSourcePad)
{
    TCaptureDevice device;
    device.name = QStringLiteral("Described");
    device.description = QString::fromUtf8(GetParam().description);
    QString error;
    GstElement* source = device.CreateSource(&error);
    if (!GetParam().outputElement) {
        EXPECT_EQ(source, nullptr);
        EXPECT_TRUE(error.contains(QLatin1String(GetParam().error))) << error.toStdString();
        return;
    }
    ASSERT_NE(source, nullptr) << error.toStdString();
    TGstObjectPtr<GstElement> owned(GST_ELEMENT(gst_object_ref_sink(source)));
    TGstObjectPtr<GstPad> output(gst_element_get_static_pad(source, "src"));
    ASSERT_TRUE(output);
    TGstObjectPtr<GstPad> target(gst_ghost_pad_get_target(GST_GHOST_PAD(output.get())));
    ASSERT_TRUE(target);
    TGstObjectPtr<GstElement> parent(gst_pad_get_parent_element(target.get()));
    const TGCharPtr name(gst_object_get_name(GST_OBJECT(parent.get())));
    EXPECT_STREQ(name.get(), GetParam().outputElement);
    // No sink pad of the bin: nothing upstream of it was taken for an input.
    TGstObjectPtr<GstPad> input(gst_element_get_static_pad(source, "sink"));
    EXPECT_FALSE(input);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, DescribedSource,
    ::testing::Values(
        SourceCase{"plain", "videotestsrc ! videoconvert name=out", "out", nullptr},
        SourceCase{"single_element", "videotestsrc name=out", "out", nullptr},
        SourceCase{"decoder_in_between", "filesrc location=/x.png ! decodebin ! videoconvert name=out", "out", nullptr},
        SourceCase{"demuxer_in_between", "filesrc location=/x.avi ! avidemux ! jpegdec ! videoconvert name=out", "out",
                   nullptr},
        SourceCase{"ends_in_a_later_pad", "filesrc location=/x.png ! decodebin", nullptr, "has no output"},
        SourceCase{"ends_in_a_sink", "videotestsrc ! fakesink", nullptr, "has no output"},
        SourceCase{"unknown_element", "nosuchgstelement_lantrix ! videoconvert", nullptr, "nosuchgstelement_lantrix"},
        // Caps at the end fix the output's format (a pass-through element takes them).
        SourceCase{"ends_in_caps", "videotestsrc ! videoscale ! video/x-raw,width=640,height=480,framerate=15/1",
                   "lantrix-caps-output", nullptr},
        SourceCase{"ends_in_caps_after_a_decoder",
                   "filesrc location=/x.png ! decodebin ! videoconvert ! video/x-raw,format=I420",
                   "lantrix-caps-output", nullptr},
        SourceCase{"unknown_element_before_caps", "videotestsrc ! nosuchgstelement_lantrix ! video/x-raw", nullptr,
                   "nosuchgstelement_lantrix"},
        SourceCase{"caps_alone", "video/x-raw,width=640", nullptr, ""}, SourceCase{"empty", "", nullptr, "empty"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DescribedSourceCaps, CapsAtTheEndFixTheOutputsFormat)
{
    TCaptureDevice device;
    device.name = QStringLiteral("Described");
    device.description = QStringLiteral("videotestsrc ! videoscale ! video/x-raw,width=64,height=48");
    QString error;
    GstElement* source = device.CreateSource(&error);
    ASSERT_NE(source, nullptr) << error.toStdString();
    TGstObjectPtr<GstElement> owned(GST_ELEMENT(gst_object_ref_sink(source)));
    TGstObjectPtr<GstPad> output(gst_element_get_static_pad(source, "src"));
    ASSERT_TRUE(output);
    TGstCapsPtr caps(gst_pad_query_caps(output.get(), nullptr));
    ASSERT_TRUE(caps && !gst_caps_is_empty(caps.get()));
    const GstStructure* structure = gst_caps_get_structure(caps.get(), 0);
    int width = 0, height = 0;
    EXPECT_TRUE(gst_structure_get_int(structure, "width", &width));
    EXPECT_TRUE(gst_structure_get_int(structure, "height", &height));
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
}

// ---- The device providers ------------------------------------------------

// Each case's providers under names of their own ("lantrix-test-<case>-<key>-<run>"),
// so that no case meets another's; a provider's key orders it among the
// test's providers, which share one rank.
class ProviderFixture {
protected:
    static constexpr std::chrono::milliseconds kShortLimit{1500};
    // Far more than any listing that does not hang takes, even on a busy machine.
    static constexpr std::chrono::seconds kGenerous{60};

    ProviderFixture() { SetDeviceProviderTimeout(kShortLimit); }
    ~ProviderFixture() { SetDeviceProviderTimeout(kDeviceProviderTimeout); }

    QString Unique(const QString& key) const
    {
        return QStringLiteral("lantrix-test-%1-%2-%3").arg(fCase, key).arg(fRun);
    }

    // Registers the provider with its key and its hides turned into unique names.
    void Add(const QString& key, TTestProviderSpec spec)
    {
        spec.name = Unique(key);
        for (QString& hidden : spec.hides)
            hidden = Unique(hidden);
        ASSERT_TRUE(fProviders.Add(spec)) << spec.name.toStdString();
    }
    QString LongName(const QString& key) const { return TTestProviderSpec{Unique(key)}.LongName(); }

    // The listing's cameras of the test's providers, and the test's providers it names.
    struct TSeen {
        QStringList cameras;
        QStringList silent;
    };
    TSeen Seen(const TSystemCameras& listing) const
    {
        TSeen seen;
        for (const TCaptureDevice& device : listing.devices)
            if (device.name.startsWith(QStringLiteral("Test ")))
                seen.cameras.append(device.name);
        for (const QString& provider : listing.silentProviders)
            if (provider.startsWith(TTestProviderSpec{QStringLiteral("lantrix-test-")}.LongName()))
                seen.silent.append(provider);
        return seen;
    }

    void SetCase(const QString& name) { fCase = name; }

    TTestDeviceProviders fProviders;

private:
    static int NextRun()
    {
        static std::atomic<int> runs{0};
        return ++runs;
    }
    QString fCase = QStringLiteral("case");
    int fRun = NextRun();
};

struct ProviderCase {
    const char* name = "";
    std::vector<std::pair<const char*, TTestProviderSpec>> providers = {}; // by key
    QStringList cameras = {};                                              // listed, in order
    QStringList silent = {};                                               // keys of the providers named as silent
    QStringList notAsked = {};                                             // keys of providers never probed
};

void PrintTo(const ProviderCase& c, std::ostream* out)
{
    *out << c.name;
}

class ProviderListing : public ProviderFixture, public ::testing::TestWithParam<ProviderCase> {};

TEST_P(ProviderListing, ListsWhatTheProvidersThatAnswerShow)
{
    const ProviderCase& c = GetParam();
    SetCase(QString::fromUtf8(c.name));
    for (const auto& [key, spec] : c.providers)
        Add(QString::fromUtf8(key), spec);

    const auto start = std::chrono::steady_clock::now();
    const TSeen seen = Seen(ListSystemCameras());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kGenerous);
    EXPECT_EQ(seen.cameras, c.cameras);
    QStringList silent;
    for (const QString& key : c.silent)
        silent.append(LongName(key));
    EXPECT_EQ(seen.silent, silent);
    // Each provider that is asked is asked once, on a thread of its own; the
    // listing may be over before that thread has begun (a hidden provider's
    // answer is not waited for), so its probe is waited for here.
    for (const auto& [key, spec] : c.providers) {
        const QString name = Unique(QString::fromUtf8(key));
        if (!c.notAsked.contains(key)) {
            const auto until = std::chrono::steady_clock::now() + kGenerous;
            while (fProviders.Probes(name) == 0 && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(fProviders.Probes(name), c.notAsked.contains(key) ? 0 : 1) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Providers, ProviderListing,
    ::testing::Values(
        ProviderCase{"in_the_providers_order",
                     {{"a", {.cameras = {"Test A One", "Test A Two"}}}, {"b", {.cameras = {"Test B One"}}}},
                     {"Test A One", "Test A Two", "Test B One"}},
        ProviderCase{"a_hanging_provider_costs_its_own_cameras",
                     {{"a", {.cameras = {"Test A Late"}, .hangs = true}}, {"b", {.cameras = {"Test B One"}}}},
                     {"Test B One"},
                     {"a"}},
        ProviderCase{"devices_of_other_classes_are_left_out",
                     {{"a", {.cameras = {"Test A Camera"}, .others = {"Test A Microphone"}}}},
                     {"Test A Camera"}},
        ProviderCase{"a_provider_that_answers_hides_a_later_one",
                     {{"a", {.cameras = {"Test A Camera"}, .hides = {"b"}}}, {"b", {.cameras = {"Test B Camera"}}}},
                     {"Test A Camera"}},
        ProviderCase{"a_provider_that_answers_hides_an_earlier_one",
                     {{"a", {.cameras = {"Test A Camera"}}}, {"b", {.cameras = {"Test B Camera"}, .hides = {"a"}}}},
                     {"Test B Camera"}},
        ProviderCase{"a_hanging_provider_hides_nothing",
                     {{"a", {.cameras = {"Test A Camera"}, .hides = {"b"}, .hangs = true}},
                      {"b", {.cameras = {"Test B Camera"}}}},
                     {"Test B Camera"},
                     {"a"}},
        ProviderCase{"a_hidden_provider_that_hangs_is_not_named",
                     {{"a", {.cameras = {"Test A Camera"}, .hides = {"b"}}},
                      {"b", {.cameras = {"Test B Camera"}, .hangs = true}}},
                     {"Test A Camera"}},
        ProviderCase{"a_provider_of_no_cameras_is_not_asked",
                     {{"a", {.others = {"Test A Microphone"}, .classes = "Source/Audio"}},
                      {"b", {.cameras = {"Test B Camera"}}}},
                     {"Test B Camera"},
                     {},
                     {"a"}}),
    [](const auto& info) { return std::string(info.param.name); });

class HangingProvider : public ProviderFixture, public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCase(QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        Add(QStringLiteral("a"), {.cameras = {"Test Late Camera"}, .hangs = true});
        Add(QStringLiteral("b"), {.cameras = {"Test Camera"}});
    }
};

// A hung probe is left behind: the next listing starts no other probe of its
// provider, lists the others' cameras without waiting for it and names it
// no more; once it answers, its cameras come back.
TEST_F(HangingProvider, IsProbedOnceAndNamedOnceUntilItAnswers)
{
    const TSeen first = Seen(ListSystemCameras());
    EXPECT_EQ(first.cameras, QStringList{"Test Camera"});
    EXPECT_EQ(first.silent, QStringList{LongName("a")});
    EXPECT_EQ(fProviders.Waiting(Unique("a")), 1);

    const TSeen second = Seen(ListSystemCameras());
    EXPECT_EQ(second.cameras, QStringList{"Test Camera"});
    EXPECT_TRUE(second.silent.isEmpty());
    EXPECT_EQ(fProviders.Probes(Unique("a")), 1);
    EXPECT_EQ(fProviders.Probes(Unique("b")), 2);
    EXPECT_EQ(fProviders.Waiting(Unique("a")), 1); // still hanging: the listing did not wait for it

    fProviders.Release();
    // Once it has answered, its cameras are listed again.
    TSeen later;
    const auto start = std::chrono::steady_clock::now();
    while (later.cameras.size() < 2 && std::chrono::steady_clock::now() - start < kGenerous)
        later = Seen(ListSystemCameras());
    EXPECT_EQ(later.cameras, (QStringList{"Test Late Camera", "Test Camera"}));
}

// Listings made at once on several threads share the probe under way.
TEST_F(HangingProvider, ListingsAtOnceShareOneProbe)
{
    std::vector<std::future<TSystemCameras>> listings;
    for (int i = 0; i < 3; ++i)
        listings.push_back(std::async(std::launch::async, [] { return ListSystemCameras(); }));
    QStringList named;
    for (std::future<TSystemCameras>& listing : listings) {
        ASSERT_EQ(listing.wait_for(kGenerous), std::future_status::ready);
        const TSeen seen = Seen(listing.get());
        EXPECT_EQ(seen.cameras, QStringList{"Test Camera"});
        named += seen.silent;
    }
    EXPECT_EQ(named, QStringList{LongName("a")}); // by one listing only
    EXPECT_EQ(fProviders.Probes(Unique("a")), 1);
}

// A listing told to stop returns at once, long before the limit, and names
// no provider, since it did not wait for one.
TEST_F(HangingProvider, AListingToldToStopReturnsAtOnce)
{
    SetDeviceProviderTimeout(std::chrono::minutes(10));
    auto stop = std::make_shared<TListingStop>();
    auto listing = std::async(std::launch::async, [stop] { return ListSystemCameras(stop); });
    const auto start = std::chrono::steady_clock::now();
    while (fProviders.Waiting(Unique("a")) < 1 && std::chrono::steady_clock::now() - start < kGenerous)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(fProviders.Waiting(Unique("a")), 1);
    stop->Request();
    ASSERT_EQ(listing.wait_for(kGenerous), std::future_status::ready);
    EXPECT_TRUE(Seen(listing.get()).silent.isEmpty());
}

// The device list: the providers' cameras, then the camera sources.
TEST_F(HangingProvider, TheDeviceListPutsTheCameraSourcesAfterTheProvidersCameras)
{
    TCameraSources::Clear();
    TCameraSources::Add(QStringLiteral("Test Source"), QStringLiteral("videotestsrc"));
    TCameraSources::Add(QStringLiteral("Test Camera"), QStringLiteral("videotestsrc"));
    QStringList names;
    EnumCaptureDevices(names);
    TCameraSources::Clear();
    QStringList ours;
    for (const QString& name : names)
        if (name.startsWith(QStringLiteral("Test ")))
            ours.append(name);
    EXPECT_EQ(ours, (QStringList{"Test Camera", "Test Source", "Test Camera #2"}));
}

} // namespace
