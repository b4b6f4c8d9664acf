#include <gtest/gtest.h>

#include <QPointF>
#include <QRectF>

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

TEST(TFitnessPlot, MapsGenerationsAcrossAndValuesUp) {
  TFitnessPlot plot;
  plot.resize(200, 120);
  const QRectF area = plot.PlotArea();
  plot.SetHistories(History({1.0, 3.0, 2.0}), History({0.5, 1.0, 1.5}));
  EXPECT_EQ(plot.PointOf(1, 0.0, area), area.bottomLeft());
  EXPECT_EQ(plot.PointOf(3, 3.0, area), area.topRight());
  EXPECT_EQ(plot.PointOf(2, 1.5, area), area.center());

  // a negative value lowers the axis; a flat or one-generation history
  // still gets a scale, one generation sits in the middle
  plot.SetHistories(History({1.0, 2.0}), History({-1.0, 0.5}));
  EXPECT_EQ(plot.PointOf(1, -1.0, area).y(), area.bottom());
  for (const TVector& history : {History({0.0, 0.0}), History({2.5})}) {
    plot.SetHistories(history, history);
    EXPECT_GT(plot.Top(), plot.Bottom());
    const QPointF last = plot.PointOf(history.Count(), history.GetElement(history.Count()), area);
    EXPECT_TRUE(area.contains(last)) << last.x() << ", " << last.y();
  }
  EXPECT_EQ(plot.PointOf(1, 2.5, area).x(), area.center().x());
}

}  // namespace
}  // namespace kestrovan
