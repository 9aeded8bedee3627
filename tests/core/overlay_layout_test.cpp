#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "core/atomic_file.h"
#include "core/mac_layout.h"
#include "core/overlay_geometry.h"
#include "core/overlay_preset.h"
#include "support/temp_dir.h"

namespace sayloom {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

// A parameterised test's name from its case's label.
template <typename Case>
std::string labelName(const testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char c : std::string(info.param.label)) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

struct ClampCase {
  const char* label;
  Rect frame;
  std::vector<Rect> screens;
  Rect expected;
};

class ClampTest : public testing::TestWithParam<ClampCase> {};

TEST_P(ClampTest, PullsTheFrameOntoAScreen) {
  const auto& c = GetParam();
  EXPECT_EQ(OverlayGeometry::clamp(c.frame, c.screens), c.expected);
}

const Rect laptop{0, 0, 1440, 875};
const Rect left{0, 0, 1000, 800};
const Rect right{1000, 0, 1000, 800};
const Rect above{0, 900, 1000, 800};

INSTANTIATE_TEST_SUITE_P(
    Vectors, ClampTest,
    testing::Values(ClampCase{"off the top right", {5000, 5000, 400, 200}, {laptop}, {1040, 675, 400, 200}},
                    ClampCase{"grown to the minimum", {100, 100, 100, 50}, {laptop}, {100, 100, 240, 100}},
                    ClampCase{"wider than the screen", {-500, 10, 3000, 200}, {laptop}, {0, 10, 1440, 200}},
                    ClampCase{"equal overlap takes the earlier screen",
                              {900, 100, 200, 100},
                              {left, right},
                              {760, 100, 240, 100}},
                    ClampCase{
                        "larger overlap wins", {950, 100, 300, 100}, {left, right}, {1000, 100, 300, 100}},
                    ClampCase{"no overlap takes the nearest centre",
                              {1700, -900, 300, 100},
                              {above, left, right},
                              {1700, 0, 300, 100}},
                    ClampCase{"no screens", {10, 20, -30, -40}, {}, {10, 20, -30, -40}}),
    labelName<ClampCase>);

TEST(OverlayDragTest, EdgesFromThePressPosition) {
  using E = OverlayGeometry::DragEdges;
  struct Case {
    double x, y;
    E expected;
  } const cases[] = {
      {200, 100, E{}},                            // the middle moves the window
      {17.9, 100, E{true, false, false, false}},  // within 18 points of the left edge
      {18, 100, E{}},                             // exactly 18 points in is outside the zone
      {390, 100, E{false, true, false, false}},
      {200, 5, E{false, false, true, false}},
      {200, 190, E{false, false, false, true}},
      {2, 195, E{true, false, false, true}},  // a corner grabs two edges
      {399, 1, E{false, true, true, false}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OverlayGeometry::dragEdges(c.x, c.y, 400, 200), c.expected) << c.x << ", " << c.y;
  }
}

struct DragCase {
  const char* label;
  OverlayGeometry::DragEdges edges;
  double dx, dy;
  Rect expected;
};

class DragFrameTest : public testing::TestWithParam<DragCase> {};

// A 400 × 200 window at (300, 300) on a 1280 × 1000 screen.
TEST_P(DragFrameTest, MovesOrResizesAndStaysOnTheScreen) {
  const auto& c = GetParam();
  const std::vector<Rect> screens{{0, 0, 1280, 1000}};
  EXPECT_EQ(OverlayGeometry::dragFrame({300, 300, 400, 200}, c.dx, c.dy, c.edges, screens), c.expected);
}

using E = OverlayGeometry::DragEdges;
INSTANTIATE_TEST_SUITE_P(
    Vectors, DragFrameTest,
    testing::Values(DragCase{"move", E{}, 50, -20, {350, 280, 400, 200}},
                    DragCase{"move past the right edge is pulled back", E{}, 2000, 0, {880, 300, 400, 200}},
                    DragCase{"move below the screen is pulled back", E{}, 0, -900, {300, 0, 400, 200}},
                    DragCase{"left edge out", E{true, false, false, false}, -100, 0, {200, 300, 500, 200}},
                    DragCase{"left edge in stops at the minimum width",
                             E{true, false, false, false},
                             300,
                             0,
                             {460, 300, 240, 200}},
                    DragCase{"right edge in stops at the minimum width",
                             E{false, true, false, false},
                             -300,
                             0,
                             {300, 300, 240, 200}},
                    DragCase{"right edge past the screen: as wide as the screen",
                             E{false, true, false, false},
                             900,
                             0,
                             {0, 300, 1280, 200}},
                    DragCase{"bottom edge down", E{false, false, true, false}, 0, -50, {300, 250, 400, 250}},
                    DragCase{"bottom edge up stops at the minimum height",
                             E{false, false, true, false},
                             0,
                             150,
                             {300, 400, 400, 100}},
                    DragCase{"top edge down stops at the minimum height",
                             E{false, false, false, true},
                             0,
                             -150,
                             {300, 300, 400, 100}},
                    DragCase{"top-left corner", E{true, false, false, true}, -20, 30, {280, 300, 420, 230}},
                    DragCase{"both vertical edges: the top decides the height",
                             E{false, false, true, true},
                             0,
                             -40,
                             {300, 260, 400, 160}}),
    labelName<DragCase>);

ScreenInfo screen(Rect frame, Rect visible, double scale, std::optional<std::uint32_t> number) {
  return ScreenInfo{frame, visible, scale, number};
}

TEST(OverlayLayoutTest, FirstFrame) {
  OverlayPreset preset;
  const std::vector<ScreenInfo> screens{screen({0, 0, 1440, 900}, {0, 0, 1440, 875}, 2, 1),
                                        screen({1440, 0, 1920, 1080}, {1440, 0, 1920, 1050}, 1, 2)};
  LayoutMap layouts;
  // Centred 80 points above the bottom of the main screen's visible frame.
  EXPECT_EQ(OverlayGeometry::firstFrame(preset, layouts, screens, 1), (Rect{2400 - 260, 80, 520, 240}));
  EXPECT_EQ(OverlayGeometry::firstFrame(preset, layouts, {}, std::nullopt), (Rect{720 - 260, 80, 520, 240}));

  layouts[preset.Id] = MacLayout{3000, 900, 600, 300, 1, "2"};
  EXPECT_EQ(OverlayGeometry::firstFrame(preset, layouts, screens, 0), (Rect{2760, 750, 600, 300}));

  layouts[preset.Id].width = std::nan("");
  EXPECT_EQ(OverlayGeometry::firstFrame(preset, layouts, screens, 0), (Rect{460, 80, 520, 240}));
}

TEST(OverlayLayoutTest, RecordingStoresTheFrameAndSizesThePreset) {
  std::vector<OverlayPreset> presets(2);
  const OverlayPreset before = presets[1];
  const std::vector<ScreenInfo> screens{
      screen({0, 0, 1440, 900}, {0, 0, 1440, 875}, 2, 7),
      screen({1440, 0, 1920, 1080}, {1440, 0, 1920, 1050}, 1, std::nullopt)};
  LayoutMap layouts;
  EXPECT_TRUE(recordLayout(layouts, presets, before.Id, {1500, 40, 200, 80}, screens, 0));
  EXPECT_EQ(layouts.at(before.Id), (MacLayout{1500, 40, 200, 80, 1, ""}));
  EXPECT_EQ(presets[1].Width, 240);
  EXPECT_EQ(presets[1].Height, 100);
  EXPECT_EQ(presets[1].X, before.X);
  EXPECT_EQ(presets[1].MonitorDeviceName, before.MonitorDeviceName);

  // Off every screen: the main screen; a later frame replaces the entry.
  EXPECT_TRUE(recordLayout(layouts, presets, before.Id, {-5000, 0, 700, 300}, screens, 0));
  EXPECT_EQ(layouts.at(before.Id), (MacLayout{-5000, 0, 700, 300, 2, "7"}));
  EXPECT_EQ(presets[1].Width, 700);

  EXPECT_FALSE(recordLayout(layouts, presets, "deleted", {10, 10, 300, 300}, {}, std::nullopt));
  EXPECT_EQ(layouts.at("deleted"), (MacLayout{10, 10, 300, 300, 1, ""}));
  EXPECT_EQ(layouts.size(), 2u);
}

TEST(OverlayLayoutTest, LayoutFileRoundTrip) {
  test::TempDir root;
  LayoutMap layouts{{"b", {1.5, -2, 300, 200, 2, "3"}}, {"a", {0, 0, 240, 100, 1, ""}}};
  LayoutFile::write(layouts, root / "made");
  EXPECT_EQ(LayoutFile::read(root / "made"), layouts);
  const std::string bytes = AtomicFile::readBytes(root / "made" / "layout-macos.json");
  EXPECT_LT(bytes.find("\"a\""), bytes.find("\"b\""));
  EXPECT_LT(bytes.find("\"displayID\""), bytes.find("\"y\""));

  // A value JSON cannot hold would make the whole file unreadable: that entry is left out.
  layouts["c"] = {std::nan(""), 0, 240, 100, 1, ""};
  LayoutFile::write(layouts, root.path());
  layouts.erase("c");
  EXPECT_EQ(LayoutFile::read(root.path()), layouts);
}

TEST(OverlayLayoutTest, DamagedLayoutFileReadsEmptyAndIsLeftAlone) {
  const std::string cases[] = {
      "not json",
      "[]",
      R"({"a": {"x": 1, "y": 2, "width": 3, "height": 4, "scale": 1}})",
      R"({"a": {"x": 1, "y": 2, "width": 3, "height": 4, "scale": 1, "displayID": 5}})",
      R"({"a": {"x": "1", "y": 2, "width": 3, "height": 4, "scale": 1, "displayID": ""}})",
      R"({"ok": {"x": 1, "y": 2, "width": 3, "height": 4, "scale": 1, "displayID": ""}, "a": null})",
  };
  for (const auto& bytes : cases) {
    test::TempDir root;
    std::ofstream(root / "layout-macos.json", std::ios::binary) << bytes;
    EXPECT_TRUE(LayoutFile::read(root.path()).empty()) << bytes;
    EXPECT_EQ(AtomicFile::readBytes(root / "layout-macos.json"), bytes);
  }
  test::TempDir empty;
  EXPECT_TRUE(LayoutFile::read(empty.path()).empty());
}

}  // namespace
}  // namespace sayloom
