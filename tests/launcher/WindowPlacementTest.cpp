// The main window's scaling to a monitor's resolution and its move into the
// monitor's work area.
#include "launcher/WindowPlacement.h"

#include <gtest/gtest.h>

namespace vantro {
namespace {

TEST(ScaleToDpiTest, RoundsAsMulDivDoes) {
  EXPECT_EQ(ScaleToDpi(351, kDesignDpi), 351);
  // 120 dpi: quarters round to the nearer pixel.
  EXPECT_EQ(ScaleToDpi(351, 120), 439);
  EXPECT_EQ(ScaleToDpi(161, 120), 201);
  // 144 dpi: halves round away from zero, on both sides of it.
  EXPECT_EQ(ScaleToDpi(351, 144), 527);
  EXPECT_EQ(ScaleToDpi(-11, 144), -17);
  EXPECT_EQ(ScaleToDpi(-11, 120), -14);
  EXPECT_EQ(ScaleToDpi(1, 48), 1);
  EXPECT_EQ(ScaleToDpi(-1, 48), -1);
  EXPECT_EQ(ScaleToDpi(0, 288), 0);
  // The product does not fit in 32 bits; the result does.
  EXPECT_EQ(ScaleToDpi(20'000'000, 192), 40'000'000);
}

TEST(ScaleToDpiTest, AnUnknownResolutionIsTheDesigns) {
  EXPECT_EQ(ScaleToDpi(351, 0), 351);
  EXPECT_EQ(ScaleToDpi(351, -96), 351);
}

TEST(ScaleToDpiTest, ScalesEachFigureOfAPlaceOnItsOwn) {
  EXPECT_EQ(ScaleToDpi(Place{0, 40, 350, 450}, 120), (Place{0, 50, 438, 563}));
  // Scaling its edges instead would make Edit1 31 pixels high.
  EXPECT_EQ(ScaleToDpi(Place{96, 11, 161, 21}, 144), (Place{144, 17, 242, 32}));
  EXPECT_EQ(ScaleToDpi(Place{809, 318, 351, 492}, kDesignDpi), (Place{809, 318, 351, 492}));
}

constexpr Place kScreen{0, 0, 1280, 1024};

TEST(MoveIntoWorkAreaTest, AWindowThatFitsStaysWhereItIs) {
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 357, 517}, kScreen), (Place{809, 318, 357, 517}));
  // Touching the far edges is still inside.
  EXPECT_EQ(MoveIntoWorkArea({923, 507, 357, 517}, kScreen), (Place{923, 507, 357, 517}));
  EXPECT_EQ(MoveIntoWorkArea({0, 0, 1280, 1024}, kScreen), (Place{0, 0, 1280, 1024}));
}

TEST(MoveIntoWorkAreaTest, AnOverhangingWindowMovesLeftAndUpByItsOverhangOnly) {
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 533, 500}, kScreen), (Place{747, 318, 533, 500}));
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 300, 772}, kScreen), (Place{809, 252, 300, 772}));
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 357, 517}, {0, 0, 1024, 768}), (Place{667, 251, 357, 517}));
  // A taskbar along the bottom takes its height off the work area.
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 357, 517}, {0, 0, 1366, 728}), (Place{809, 211, 357, 517}));
}

TEST(MoveIntoWorkAreaTest, AWindowBeforeTheWorkAreaMovesToItsStart) {
  // A taskbar along the top or left of the screen, or the nearest monitor
  // when the place lies on none.
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 357, 517}, {900, 400, 1000, 800}),
            (Place{900, 400, 357, 517}));
  // A monitor left of and above the primary one.
  EXPECT_EQ(MoveIntoWorkArea({-100, -50, 357, 517}, {-1920, -1080, 1920, 1080}),
            (Place{-357, -517, 357, 517}));
}

TEST(MoveIntoWorkAreaTest, AWindowLongerThanTheWorkAreaStartsWhereTheAreaStarts) {
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 1100, 1000}, {0, 0, 1024, 768}), (Place{0, 0, 1100, 1000}));
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 1100, 1000}, {40, 30, 1024, 768}),
            (Place{40, 30, 1100, 1000}));
  // Only the long axis starts at the area's start; the other still just moves in.
  EXPECT_EQ(MoveIntoWorkArea({809, 318, 1100, 517}, {0, 0, 1024, 768}), (Place{0, 251, 1100, 517}));
}

}  // namespace
}  // namespace vantro
