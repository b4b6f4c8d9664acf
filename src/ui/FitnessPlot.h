#pragma once

#include <QChartView>
#include <QLocale>
#include <vector>

class QLineSeries;
class QValueAxis;

namespace kestrovan {

class TVector;

// A line chart of the best (red), the average (blue) and the minimum (grey)
// fitness per generation, with labelled axes: generations across from 1 to
// the last one, the fitness up from 0 (or the lowest value, when negative)
// to the highest value. Numbers are shown with the given locale.
class TFitnessPlot : public QChartView {
  Q_OBJECT

 public:
  explicit TFitnessPlot(QWidget* Parent = nullptr);

  // Copies the histories (one element per generation) and redraws. Minimum
  // may be shorter than the others (or empty).
  void SetHistories(const TVector& MaxFitness, const TVector& AverageFitness,
                    const std::vector<double>& MinimumFitness = {});
  void SetLocale(const QLocale& Locale);

  const std::vector<double>& MaxValues() const { return max_; }
  const std::vector<double>& AverageValues() const { return average_; }
  const std::vector<double>& MinimumValues() const { return minimum_; }

  // Lower and upper end of the fitness axis.
  double Bottom() const { return bottom_; }
  double Top() const { return top_; }

  QLineSeries* MaxSeries() const { return maxSeries_; }
  QLineSeries* AverageSeries() const { return averageSeries_; }
  QLineSeries* MinimumSeries() const { return minimumSeries_; }
  QValueAxis* GenerationAxis() const { return generationAxis_; }
  QValueAxis* FitnessAxis() const { return fitnessAxis_; }

  QSize sizeHint() const override { return {320, 200}; }

 private:
  std::vector<double> max_;
  std::vector<double> average_;
  std::vector<double> minimum_;
  double bottom_ = 0.0;
  double top_ = 1.0;
  QLineSeries* maxSeries_;
  QLineSeries* averageSeries_;
  QLineSeries* minimumSeries_;
  QValueAxis* generationAxis_;
  QValueAxis* fitnessAxis_;
};

}  // namespace kestrovan
