#include "ui/FitnessPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "numerics/Matrices.h"

namespace kestrovan {

namespace {

const QColor kMaxColour(200, 30, 30);
const QColor kAverageColour(30, 60, 200);
constexpr double kMargin = 4.0;         // pixels around the plot area
constexpr double kLegendHeight = 12.0;  // pixels above the plot area for the scale and legend

std::vector<double> ValuesOf(const TVector& History) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(History.Count()));
  for (int g = 1; g <= History.Count(); ++g) {
    values.push_back(History.GetElement(g));
  }
  return values;
}

}  // namespace

TFitnessPlot::TFitnessPlot(QWidget* Parent) : QWidget(Parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(40, 40);
}

void TFitnessPlot::SetHistories(const TVector& MaxFitness, const TVector& AverageFitness) {
  max_ = ValuesOf(MaxFitness);
  average_ = ValuesOf(AverageFitness);

  // the value axis starts at 0 unless a value lies below; a flat history
  // still gets a scale of height 1
  bottom_ = 0.0;
  top_ = 0.0;
  for (const std::vector<double>* values : {&max_, &average_}) {
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
  update();
}

QRectF TFitnessPlot::PlotArea() const {
  return QRectF(kMargin, kMargin + kLegendHeight, width() - 2.0 * kMargin, height() - 2.0 * kMargin - kLegendHeight);
}

QPointF TFitnessPlot::PointOf(int Generation, double Value, const QRectF& Area) const {
  const int count = static_cast<int>(std::max(max_.size(), average_.size()));
  const double x = count > 1 ? Area.left() + Area.width() * (Generation - 1) / (count - 1) : Area.center().x();
  const double clamped = std::clamp(std::isfinite(Value) ? Value : bottom_, bottom_, top_);
  const double y = Area.bottom() - Area.height() * (clamped - bottom_) / (top_ - bottom_);
  return {x, y};
}

void TFitnessPlot::DrawCurve(QPainter& Painter, const std::vector<double>& Values, const QRectF& Area) const {
  if (Values.empty()) {
    return;
  }
  QPainterPath path(PointOf(1, Values.front(), Area));
  for (std::size_t g = 2; g <= Values.size(); ++g) {
    path.lineTo(PointOf(static_cast<int>(g), Values[g - 1], Area));
  }
  Painter.drawPath(path);
  if (Values.size() == 1) {
    // one generation: a dot, since a path of one point draws nothing
    Painter.drawEllipse(PointOf(1, Values.front(), Area), 1.5, 1.5);
  }
}

void TFitnessPlot::paintEvent(QPaintEvent* /*Event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const QRectF area = PlotArea();
  painter.setPen(QColor(190, 190, 190));
  painter.drawRect(area);

  // the top of the scale and the legend
  QFont small = font();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1.0));
  painter.setFont(small);
  const QRectF legend(kMargin, 0.0, width() - 2.0 * kMargin, kLegendHeight + kMargin);
  painter.setPen(Qt::black);
  if (!max_.empty()) {
    painter.drawText(legend, Qt::AlignLeft | Qt::AlignVCenter, QString::number(top_, 'f', 2));
  }
  painter.setPen(kMaxColour);
  painter.drawText(legend.adjusted(0, 0, -28, 0), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("max"));
  painter.setPen(kAverageColour);
  painter.drawText(legend, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("avg"));

  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kAverageColour, 1.0));
  DrawCurve(painter, average_, area);
  painter.setPen(QPen(kMaxColour, 1.5));
  DrawCurve(painter, max_, area);
}

}  // namespace kestrovan
