#include <gtest/gtest.h>

#include <QChart>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QPointF>
#include <QRectF>
#include <QValueAxis>

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

TEST(TFitnessPlot, ShowsThreeCurvesOnLabelledAxesThatFitTheValues) {
  TFitnessPlot plot;
  plot.resize(400, 300);
  plot.show();
  EXPECT_EQ(plot.GenerationAxis()->titleText(), QStringLiteral("generation"));
  EXPECT_EQ(plot.FitnessAxis()->titleText(), QStringLiteral("fitness"));

  plot.SetHistories(History({1.0, 3.0, 2.0}), History({0.5, 1.0, 1.5}), {0.0, 0.25});
  EXPECT_EQ(plot.MaxSeries()->points(), (QList<QPointF>{{1, 1.0}, {2, 3.0}, {3, 2.0}}));
  EXPECT_EQ(plot.AverageSeries()->points(), (QList<QPointF>{{1, 0.5}, {2, 1.0}, {3, 1.5}}));
  EXPECT_EQ(plot.MinimumSeries()->points(), (QList<QPointF>{{1, 0.0}, {2, 0.25}}));
  EXPECT_EQ(plot.GenerationAxis()->min(), 1.0);
  EXPECT_EQ(plot.GenerationAxis()->max(), 3.0);
  EXPECT_EQ(plot.FitnessAxis()->min(), 0.0);
  EXPECT_EQ(plot.FitnessAxis()->max(), 3.0);
  QCoreApplication::processEvents();
  // generation 1 at 0 is the bottom left corner of the plot area, the best
  // value the top
  const QRectF area = plot.chart()->plotArea();
  const QPointF origin = plot.chart()->mapToPosition(QPointF(1.0, 0.0), plot.MaxSeries());
  EXPECT_NEAR(origin.x(), area.left(), 0.5);
  EXPECT_NEAR(origin.y(), area.bottom(), 0.5);
  EXPECT_NEAR(plot.chart()->mapToPosition(QPointF(3.0, 3.0), plot.MaxSeries()).y(), area.top(), 0.5);

  // a negative value lowers the axis; a flat history still gets a scale
  plot.SetHistories(History({1.0, 2.0}), History({-1.0, 0.5}));
  EXPECT_EQ(plot.FitnessAxis()->min(), -1.0);
  EXPECT_TRUE(plot.MinimumSeries()->points().isEmpty());
  for (const TVector& history : {History({0.0, 0.0}), History({2.5}), History({})}) {
    plot.SetHistories(history, history);
    EXPECT_GT(plot.Top(), plot.Bottom());
    EXPECT_GT(plot.GenerationAxis()->max(), plot.GenerationAxis()->min());
  }
}

TEST(TFitnessPlot, LabelsWholeGenerationsAndFollowsTheLocale) {
  TFitnessPlot plot;
  TVector many(0);
  for (int g = 0; g < 95; ++g) {
    many.Append(g);
  }
  plot.SetHistories(many, many);
  // at most about six labels, on whole generations
  const double interval = plot.GenerationAxis()->tickInterval();
  EXPECT_EQ(interval, 20.0);
  EXPECT_EQ(plot.GenerationAxis()->tickAnchor(), 1.0);

  const QLocale german(QLocale::German, QLocale::Germany);
  plot.SetLocale(german);
  EXPECT_TRUE(plot.chart()->localizeNumbers());
  EXPECT_EQ(plot.chart()->locale().decimalPoint(), QStringLiteral(","));
}

TEST(TFitnessPlot, KeepsUpWithAGenerationPerTenthOfASecond) {
  // a thousand generations shown one after the other, each drawn: far less
  // than the 0.1 s a generation takes at least
  TFitnessPlot plot;
  plot.resize(500, 300);
  plot.show();
  TVector best(0);
  TVector average(0);
  std::vector<double> minimum;
  QElapsedTimer clock;
  clock.start();
  constexpr int kGenerations = 1000;
  for (int g = 1; g <= kGenerations; ++g) {
    best.Append(g * 0.01);
    average.Append(g * 0.005);
    minimum.push_back(0.0);
    plot.SetHistories(best, average, minimum);
    plot.repaint();
  }
  const double perGeneration = static_cast<double>(clock.elapsed()) / kGenerations;
  EXPECT_LT(perGeneration, 50.0) << perGeneration << " ms per generation";
  RecordProperty("ms_per_generation", QString::number(perGeneration).toStdString());
  std::printf("fitness plot: %.2f ms per generation shown (%d generations)\n", perGeneration, kGenerations);
}

}  // namespace
}  // namespace kestrovan
