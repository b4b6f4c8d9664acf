#include "ui/FitnessPlot.h"

#include <QChart>
#include <QLineSeries>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "numerics/Matrices.h"

namespace kestrovan {

namespace {

std::vector<double> ValuesOf(const TVector& History) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(History.Count()));
  for (int g = 1; g <= History.Count(); ++g) {
    values.push_back(History.GetElement(g));
  }
  return values;
}

// Points (generation, value) for the finite values.
QList<QPointF> PointsOf(const std::vector<double>& Values) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(Values.size()));
  for (std::size_t g = 0; g < Values.size(); ++g) {
    if (std::isfinite(Values[g])) {
      points.append(QPointF(static_cast<double>(g + 1), Values[g]));
    }
  }
  return points;
}

QLineSeries* AddSeries(QChart* Chart, const QString& Name, const QColor& Colour, double Width) {
  auto* series = new QLineSeries(Chart);
  series->setName(Name);
  series->setPen(QPen(Colour, Width));
  Chart->addSeries(series);
  return series;
}

}  // namespace

TFitnessPlot::TFitnessPlot(QWidget* Parent) : QChartView(Parent) {
  auto* chart = new QChart();
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setBackgroundRoundness(0);
  chart->legend()->setAlignment(Qt::AlignTop);
  // the minimum first, so that the best is drawn on top
  minimumSeries_ = AddSeries(chart, QStringLiteral("minimum"), QColor(130, 130, 130), 1.0);
  averageSeries_ = AddSeries(chart, QStringLiteral("average"), QColor(30, 60, 200), 1.5);
  maxSeries_ = AddSeries(chart, QStringLiteral("best"), QColor(200, 30, 30), 2.0);

  generationAxis_ = new QValueAxis(chart);
  generationAxis_->setTitleText(QStringLiteral("generation"));
  generationAxis_->setLabelFormat(QStringLiteral("%.0f"));
  generationAxis_->setTickType(QValueAxis::TicksDynamic);
  generationAxis_->setTickAnchor(1.0);
  fitnessAxis_ = new QValueAxis(chart);
  fitnessAxis_->setTitleText(QStringLiteral("fitness"));
  fitnessAxis_->setLabelFormat(QStringLiteral("%.2f"));
  chart->addAxis(generationAxis_, Qt::AlignBottom);
  chart->addAxis(fitnessAxis_, Qt::AlignLeft);
  for (QLineSeries* series : {minimumSeries_, averageSeries_, maxSeries_}) {
    series->attachAxis(generationAxis_);
    series->attachAxis(fitnessAxis_);
  }
  chart->setLocalizeNumbers(true);
  setChart(chart);
  setRenderHint(QPainter::Antialiasing);
  setMinimumSize(120, 100);
  SetLocale(QLocale::system());
  SetHistories(TVector(0), TVector(0));
}

void TFitnessPlot::SetLocale(const QLocale& Locale) { chart()->setLocale(Locale); }

void TFitnessPlot::SetHistories(const TVector& MaxFitness, const TVector& AverageFitness,
                                const std::vector<double>& MinimumFitness) {
  max_ = ValuesOf(MaxFitness);
  average_ = ValuesOf(AverageFitness);
  minimum_ = MinimumFitness;

  // the fitness axis starts at 0 unless a value lies below; a flat history
  // still gets a scale of height 1
  bottom_ = 0.0;
  top_ = 0.0;
  for (const std::vector<double>* values : {&max_, &average_, &minimum_}) {
    for (double value : *values) {
      if (std::isfinite(value)) {
        bottom_ = std::min(bottom_, value);
        top_ = std::max(top_, value);
      }
    }
  }
  if (!(top_ > bottom_)) {
    top_ = bottom_ + 1.0;
  }
  const std::size_t generations = std::max({max_.size(), average_.size(), minimum_.size()});
  const double last = static_cast<double>(std::max<std::size_t>(generations, 2));
  generationAxis_->setRange(1.0, last);
  // whole generations, at most about six labels: steps of 1, 2, 5, 10, 20...
  double step = 1.0;
  for (int i = 0; (last - 1.0) / step > 5.0; ++i) {
    step *= i % 3 == 1 ? 2.5 : 2.0;
  }
  generationAxis_->setTickInterval(step);
  fitnessAxis_->setRange(bottom_, top_);

  maxSeries_->replace(PointsOf(max_));
  averageSeries_->replace(PointsOf(average_));
  minimumSeries_->replace(PointsOf(minimum_));
}

}  // namespace kestrovan
