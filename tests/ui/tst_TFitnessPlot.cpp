#include <cmath>

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "numerics/Matrices.h"
#include "ui/FitnessPlot.h"

namespace kestrovan {
namespace {

TVector History(std::initializer_list<double> Values) {
  TVector history(0);
  for (double value : Values) {
    history.Append(value);
  }
  return history;
}

// Pixels of Plot, drawn, that are mostly Red or mostly Blue.
struct TCurvePixels {
  int Red = 0;
  int Blue = 0;
};

TCurvePixels CountCurvePixels(TFitnessPlot& Plot) {
  QImage image(Plot.size(), QImage::Format_RGB32);
  Plot.render(&image);
  const QRect area = Plot.PlotArea().toRect().adjusted(1, 1, -1, -1);
  TCurvePixels pixels;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor colour = image.pixelColor(x, y);
      pixels.Red += colour.red() > 150 && colour.green() < 100 && colour.blue() < 100 ? 1 : 0;
      pixels.Blue += colour.blue() > 150 && colour.red() < 100 && colour.green() < 120 ? 1 : 0;
    }
  }
  return pixels;
}

TEST(TFitnessPlot, MapsGenerationsAcrossAndValuesUp) {
  TFitnessPlot plot;
  plot.resize(200, 120);
  plot.SetHistories(History({1.0, 3.0, 2.0}), History({0.5, 1.0, 1.5}));
  const QRectF area = plot.PlotArea();
  EXPECT_EQ(plot.Bottom(), 0.0);
  EXPECT_EQ(plot.Top(), 3.0);

  // first generation on the left edge, last on the right; 0 at the bottom,
  // the highest value at the top
  EXPECT_EQ(plot.PointOf(1, 0.0, area), QPointF(area.left(), area.bottom()));
  EXPECT_EQ(plot.PointOf(3, 3.0, area), QPointF(area.right(), area.top()));
  EXPECT_DOUBLE_EQ(plot.PointOf(2, 1.5, area).x(), area.center().x());
  EXPECT_DOUBLE_EQ(plot.PointOf(2, 1.5, area).y(), area.center().y());
}

TEST(TFitnessPlot, FlatAndSingleGenerationHistoriesStayInsideTheArea) {
  TFitnessPlot plot;
  plot.resize(150, 100);
  const QRectF area = plot.PlotArea();
  for (const TVector& history : {History({0.0, 0.0}), History({2.5})}) {
    plot.SetHistories(history, history);
    EXPECT_GT(plot.Top(), plot.Bottom());
    for (int g = 1; g <= history.Count(); ++g) {
      const QPointF point = plot.PointOf(g, history.GetElement(g), area);
      EXPECT_TRUE(std::isfinite(point.x()) && std::isfinite(point.y()));
      EXPECT_TRUE(area.adjusted(-0.01, -0.01, 0.01, 0.01).contains(point)) << g;
    }
  }
  // one generation sits in the middle
  EXPECT_DOUBLE_EQ(plot.PointOf(1, 2.5, area).x(), area.center().x());
}

TEST(TFitnessPlot, NegativeValuesLowerTheAxis) {
  TFitnessPlot plot;
  plot.resize(150, 100);
  plot.SetHistories(History({1.0, 2.0}), History({-1.0, 0.5}));
  EXPECT_EQ(plot.Bottom(), -1.0);
  EXPECT_EQ(plot.PointOf(1, -1.0, plot.PlotArea()).y(), plot.PlotArea().bottom());
}

TEST(TFitnessPlot, DrawsBothCurvesOnlyWhenThereIsAHistory) {
  TFitnessPlot plot;
  plot.resize(160, 110);
  plot.SetHistories(TVector(0), TVector(0));
  const TCurvePixels empty = CountCurvePixels(plot);
  EXPECT_EQ(empty.Red, 0);
  EXPECT_EQ(empty.Blue, 0);

  plot.SetHistories(History({1.0, 4.0, 4.0, 6.0}), History({0.2, 1.0, 2.0, 2.5}));
  const TCurvePixels drawn = CountCurvePixels(plot);
  EXPECT_GT(drawn.Red, 50);
  EXPECT_GT(drawn.Blue, 50);
  EXPECT_EQ(plot.MaxValues(), (std::vector<double>{1.0, 4.0, 4.0, 6.0}));
  EXPECT_EQ(plot.AverageValues(), (std::vector<double>{0.2, 1.0, 2.0, 2.5}));
}

}  // namespace
}  // namespace kestrovan
