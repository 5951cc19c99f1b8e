#include "about/AboutLinks.h"
#include "about/PopupGuard.h"
#include "about/Rain.h"
#include "about/WindowDrag.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

namespace {

// Random numbers taken from a script, in turn; 0 once it runs out.
struct ScriptedRandom {
    std::shared_ptr<std::deque<int>> numbers = std::make_shared<std::deque<int>>();
    std::shared_ptr<std::vector<int>> ranges = std::make_shared<std::vector<int>>(); // the n of every call
    TRainRandom Source() const
    {
        return [numbers = numbers, ranges = ranges](int n) {
            ranges->push_back(n);
            if (numbers->empty())
                return 0;
            const int value = numbers->front();
            numbers->pop_front();
            return value;
        };
    }
};

// Records what the rain draws.
class RecordingCanvas : public TRainCanvas {
public:
    std::vector<std::string> operations;
    void Clear(int width, int height) override { Note("clear", width, height); }
    void FillBlack(int left, int top, int right, int bottom) override
    {
        std::ostringstream text;
        text << "fill " << left << "," << top << "-" << right << "," << bottom;
        operations.push_back(text.str());
    }
    void WriteChar(int x, int y, char c, const TRainColour& colour) override
    {
        std::ostringstream text;
        text << "char " << c << " at " << x << "," << y << " rgb " << colour.red << "," << colour.green << ","
             << colour.blue;
        operations.push_back(text.str());
    }

private:
    void Note(const char* what, int a, int b)
    {
        std::ostringstream text;
        text << what << " " << a << "x" << b;
        operations.push_back(text.str());
    }
};

// ---- The rain's arithmetic ------------------------------------------------------

TEST(Rain, GridAndDropsOfTheWindowSize)
{
    RecordingCanvas canvas;
    TRain rain([](int) { return 0; });
    rain.Start(canvas, 462, 397);
    EXPECT_EQ(rain.matrixWidth, 57);
    EXPECT_EQ(rain.matrixHeight, 33);
    EXPECT_EQ(rain.Drops().size(), 114u);
    EXPECT_EQ(canvas.operations, std::vector<std::string>{"clear 462x397"});
    // Two drops per column, in column order.
    for (std::size_t i = 0; i < rain.Drops().size(); ++i)
        EXPECT_EQ(rain.Drops()[i].x, static_cast<int>(i % 57));
}

struct ColourCase {
    int brightness;
    TRainColour head;
    TRainColour trail;
};

class RainColours : public ::testing::TestWithParam<ColourCase> {};

TEST_P(RainColours, HeadAndTrail)
{
    EXPECT_EQ(RainHeadColour(GetParam().brightness), GetParam().head);
    EXPECT_EQ(RainTrailColour(GetParam().brightness), GetParam().trail);
}

INSTANTIATE_TEST_SUITE_P(Brightness, RainColours,
                         ::testing::Values(ColourCase{99, {148, 252, 98}, {49, 84, 32}},
                                           ColourCase{0, {0, 0, 0}, {0, 0, 0}},
                                           ColourCase{50, {74, 127, 49}, {24, 42, 16}},
                                           ColourCase{1, {1, 2, 0}, {0, 0, 0}}),
                         [](const auto& info) {
                             std::string name = "b";
                             return name.append(std::to_string(info.param.brightness));
                         });

struct TailCase {
    int y;
    int matrixHeight;
    int row;
};

class RainTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(RainTail, FortyRowsBehindWrapped)
{
    EXPECT_EQ(RainTailRow(GetParam().y, GetParam().matrixHeight), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RainTail,
    ::testing::Values(TailCase{10, 33, 4}, TailCase{40, 33, 0}, TailCase{45, 33, 5}, TailCase{0, 33, 28},
                      TailCase{0, 10, 4}, TailCase{34, 33, 28}),
    [](const auto& info) {
        std::string name = "y";
        return name.append(std::to_string(info.param.y)).append("_h").append(std::to_string(info.param.matrixHeight));
    });

TEST(Rain, NewDropsTakeRowSpeedAndBrightnessFromTheRandomSource)
{
    ScriptedRandom random;
    *random.numbers = {7, 2, 55, 12, 0, 99};
    RecordingCanvas canvas;
    TRain rain(random.Source());
    rain.Start(canvas, 8, 400); // one column of 33 rows: two drops
    ASSERT_EQ(rain.Drops().size(), 2u);
    EXPECT_EQ(rain.Drops()[0].y, 7);
    EXPECT_EQ(rain.Drops()[0].speed, 3);
    EXPECT_EQ(rain.Drops()[0].brightness, 55);
    EXPECT_EQ(rain.Drops()[1].y, 12);
    EXPECT_EQ(rain.Drops()[1].speed, 1);
    EXPECT_EQ(rain.Drops()[1].brightness, 99);
    EXPECT_EQ(*random.ranges, (std::vector<int>{33, 3, 100, 33, 3, 100}));
}

TEST(Rain, AtMostFiveThousandDrops)
{
    RecordingCanvas canvas;
    TRain rain([](int) { return 0; });
    rain.Start(canvas, 8 * 3000, 120); // 3000 columns would make 6000 drops
    EXPECT_EQ(rain.Drops().size(), 5000u);
    rain.AddDrop();
    EXPECT_EQ(rain.Drops().size(), 5000u);
}

TEST(Rain, StepDrawsTailTrailAndHead)
{
    ScriptedRandom random;
    RecordingCanvas canvas;
    TRain rain(random.Source());
    rain.Start(canvas, 16, 397); // 2 columns, 33 rows
    auto& drops = rain.Drops();
    drops.resize(1);
    drops[0] = TRainDrop{1, 10, 2, 99, ' '};
    canvas.operations.clear();
    *random.numbers = {1}; // "s"
    rain.Step(canvas);
    EXPECT_EQ(canvas.operations, (std::vector<std::string>{"fill 8,48-16,60", "char s at 8,108 rgb 49,84,32",
                                                           "char s at 8,120 rgb 148,252,98"}));
    EXPECT_EQ(drops[0].lastChar, 's');
    EXPECT_EQ(drops[0].y, 11); // step 0 is a multiple of every speed
    canvas.operations.clear();
    *random.numbers = {2}; // "t"
    rain.Step(canvas);
    EXPECT_EQ(drops[0].y, 11); // step 1 is not a multiple of 2
    EXPECT_EQ(canvas.operations.back(), "char t at 8,132 rgb 148,252,98");
    rain.Step(canvas);
    EXPECT_EQ(drops[0].y, 12);
    EXPECT_EQ(rain.StepCount(), 3u);
}

TEST(Rain, HeadOnTheTopRowHasNoTrail)
{
    RecordingCanvas canvas;
    TRain rain([](int) { return 0; });
    rain.Start(canvas, 8, 120);
    TRainDrop drop{0, 0, 1, 99, ' '};
    canvas.operations.clear();
    rain.DrawDrop(canvas, drop, 'd');
    EXPECT_EQ(canvas.operations, (std::vector<std::string>{"fill 0,48-8,60", "char d at 0,0 rgb 148,252,98"}));
}

TEST(Rain, DropBelowTheGridStartsAgainAtTheTop)
{
    ScriptedRandom random;
    RecordingCanvas canvas;
    TRain rain(random.Source());
    rain.Start(canvas, 8, 120); // 10 rows
    auto& drops = rain.Drops();
    drops.resize(1);
    drops[0] = TRainDrop{0, 10, 1, 40, ' '};
    *random.numbers = {0, 2, 77};
    rain.Step(canvas); // y 10 -> 11: not yet beyond 10 + 1
    EXPECT_EQ(drops[0].y, 11);
    *random.numbers = {0, 2, 77};
    rain.Step(canvas); // y 11 -> 12 > 11: back to the top
    EXPECT_EQ(drops[0].y, 0);
    EXPECT_EQ(drops[0].x, 0);
    EXPECT_EQ(drops[0].speed, 3);
    EXPECT_EQ(drops[0].brightness, 77);
}

TEST(Rain, ResetKeepsTheGridOfTheStart)
{
    RecordingCanvas canvas;
    TRain rain([](int) { return 0; });
    rain.Start(canvas, 462, 397);
    canvas.operations.clear();
    rain.Reset(canvas, 600, 500);
    EXPECT_EQ(canvas.operations, std::vector<std::string>{"clear 600x500"});
    EXPECT_EQ(rain.matrixWidth, 57);
    EXPECT_EQ(rain.matrixHeight, 33);
    EXPECT_EQ(rain.Drops().size(), 114u);
}

TEST(Rain, TinyWindowHasNoDrops)
{
    RecordingCanvas canvas;
    TRain rain([](int) { return 0; });
    rain.Start(canvas, 7, 11);
    EXPECT_TRUE(rain.Drops().empty());
    rain.Step(canvas);
}

// ---- The drop-down guard -----------------------------------------------------------

struct GuardCase {
    const char* name;
    bool sameButton;
    bool sameMenu;
    std::uint32_t closedAt;
    std::uint32_t now;
    bool mayOpen;
};

class PopupGuardTest : public ::testing::TestWithParam<GuardCase> {};

TEST_P(PopupGuardTest, RefusesOnlyTheClickThatClosedTheMenu)
{
    const GuardCase& c = GetParam();
    int button = 0, otherButton = 0, menu = 0, otherMenu = 0;
    TPopupGuard guard;
    guard.Closed(&button, &menu, c.closedAt);
    EXPECT_EQ(guard.MayOpen(c.sameButton ? &button : &otherButton, c.sameMenu ? &menu : &otherMenu, c.now), c.mayOpen);
}

INSTANTIATE_TEST_SUITE_P(Clicks, PopupGuardTest,
                         ::testing::Values(GuardCase{"at_once", true, true, 1000, 1000, false},
                                           GuardCase{"after_99_ms", true, true, 1000, 1099, false},
                                           GuardCase{"after_100_ms", true, true, 1000, 1100, true},
                                           GuardCase{"tick_count_wrapped", true, true, 0xFFFFFFF0u, 0x20u, false},
                                           GuardCase{"tick_count_wrapped_long_ago", true, true, 0xFFFFFFF0u, 0x100u,
                                                     true},
                                           GuardCase{"other_button", false, true, 1000, 1000, true},
                                           GuardCase{"other_menu", true, false, 1000, 1000, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PopupGuard, ARefusalIsForgotten)
{
    int button = 0, menu = 0;
    TPopupGuard guard;
    EXPECT_TRUE(guard.MayOpen(&button, &menu, 5)); // nothing dropped down yet
    guard.Closed(&button, &menu, 1000);
    EXPECT_FALSE(guard.MayOpen(&button, &menu, 1010));
    EXPECT_TRUE(guard.MayOpen(&button, &menu, 1020));
}

// ---- Dragging ----------------------------------------------------------------------

TEST(WindowDrag, AnyButtonButTheRightOneDrags)
{
    TWindowDrag left;
    left.MouseDown(false, 100, 200);
    EXPECT_TRUE(left.dragging);
    EXPECT_EQ(left.MouseMove(130, 190), (TWindowDrag::TOffset{30, -10}));
    EXPECT_EQ(left.MouseMove(131, 195), (TWindowDrag::TOffset{1, 5}));
    EXPECT_EQ(left.dx, 131);
    EXPECT_EQ(left.dy, 195);
    left.MouseUp();
    EXPECT_FALSE(left.MouseMove(200, 200));

    TWindowDrag right;
    right.MouseDown(true, 100, 200);
    EXPECT_FALSE(right.dragging);
    EXPECT_FALSE(right.MouseMove(130, 190));
}

// ---- Links -------------------------------------------------------------------------

TEST(AboutLinks, Addresses)
{
    EXPECT_EQ(MakerSiteAddress("www.example.invalid"), QUrl("http://www.example.invalid/"));
    EXPECT_EQ(AcknowledgementsAddress("www.example.invalid"),
              QUrl("https://www.example.invalid/blog/credits-and-acknowledgements/"));
    EXPECT_EQ(UninstallAddress("www.example.invalid"),
              QUrl("http://www.example.invalid/blog/how-to-uninstall-dastrel-software/"));
    EXPECT_EQ(LicenseFile("/opt/lantrix"), "/opt/lantrix/license.txt");
    EXPECT_EQ(LicenseFile("/usr/share/lantrix/"), "/usr/share/lantrix/license.txt");
}

} // namespace
