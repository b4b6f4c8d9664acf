#pragma once

#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <vector>

class QPaintEvent;

namespace kestrovan {

class TVector;

// A line chart of the best (red) and the average (blue) fitness per
// generation: generation 1 at the left edge, the last one at the right, the
// value axis from 0 (or the lowest value, when negative) to the highest value.
class TFitnessPlot : public QWidget {
  Q_OBJECT

 public:
  explicit TFitnessPlot(QWidget* Parent = nullptr);

  // Copies the two histories (one element per generation) and redraws.
  void SetHistories(const TVector& MaxFitness, const TVector& AverageFitness);

  const std::vector<double>& MaxValues() const { return max_; }
  const std::vector<double>& AverageValues() const { return average_; }

  // The rectangle the curves are drawn in (pixels).
  QRectF PlotArea() const;
  // Lower and upper end of the value axis.
  double Bottom() const { return bottom_; }
  double Top() const { return top_; }
  // Where the value of Generation (1-based) lies in Area.
  QPointF PointOf(int Generation, double Value, const QRectF& Area) const;

  QSize sizeHint() const override { return {120, 100}; }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  void DrawCurve(QPainter& Painter, const std::vector<double>& Values, const QRectF& Area) const;

  std::vector<double> max_;
  std::vector<double> average_;
  double bottom_ = 0.0;
  double top_ = 1.0;
};

}  // namespace kestrovan
