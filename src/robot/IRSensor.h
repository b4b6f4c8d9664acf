#pragma once

#include <limits>

#include "numerics/Matrices.h"
#include "robot/SensorCulling.h"
#include "robot/Sensors.h"

namespace kestrovan {

// Parameters of an infrared proximity sensor.
class TIRSensorParameters : public TSensorParameters {
 public:
  TVector RelativePosition{3};     // m, mounting point in the body frame (x ahead, y left)
  double RelativeDirection = 0.0;  // rad, axis relative to the heading
  double OpeningAngle = 0.353;     // rad, full opening of the cone
  double Range = 0.125;            // m, distance where the reading falls to 0
  double InitialReading = 0.0;

  // Throws std::invalid_argument when Range is not positive.
  void Validate() const;
};

// Infrared proximity sensor that sees the arena's upright cylinders only.
// For a cylinder whose centre lies in front of the sensor at bearing theta
// (|theta| <= OpeningAngle / 2) and whose surface lies at distance d along
// the line to its centre, 0 < d <= Range, the response is
//   cos(theta) (1 - d / Range);
// the reading is the largest response, 0 when none is visible.
//
// Update first rejects, with a cheap conservative test (TSensorCull), every
// cylinder that cannot be seen, before any trigonometry or square root; the
// cosine and sine of the sensor's direction are computed only when a
// cylinder passes, and the reading of the survivors is computed exactly as
// above, so the reading has the same bits as without the test.
class TIRSensor : public TSensor {
 public:
  // Validates the parameters (a positive Range).
  explicit TIRSensor(const TIRSensorParameters& Parameters);
  // Copies the mounting, cone and reading; the absolute pose starts afresh.
  TIRSensor(const TIRSensor& Source);

  std::unique_ptr<TSensor> Copy() const override;
  // Everything the copy constructor sets, the pose and the cached test
  // afresh; false unless both are of exactly this class.
  bool AssignCopyOf(const TSensor& Source) override;
  TMatrix GetReading() const override;
  double GetScalarReading() const override { return Reading; }
  void Update(const TCylinderView& Cylinders) override;
  // The reading computed for every cylinder, without the rejection test:
  // the same reading as Update, only slower (for checks).
  void UpdateEveryCylinder(const TCylinderView& Cylinders);
  // The position and Range.
  bool SensingDisc(double& X, double& Y, double& Radius) const override;
  void UpdateAmong(const TCylinderView& Cylinders, std::span<const std::uint32_t> Candidates) override;
  void Reset() override { Reading = 0.0; }
  void SetPose(double X, double Y, double Elevation, double Heading) override;
  void Place(const TSensorPose& Pose) override;

  TVector RelativePosition{3};
  double RelativeDirection;
  TVector AbsolutePosition{3};  // m, arena frame
  double AbsoluteDirection;     // rad, arena frame, in [-pi, pi]
  double OpeningAngle;          // rad
  double Range;                 // m
  double Reading;

 private:
  // The reading over the Count cylinders at Indices[0..Count) when Listed,
  // else over cylinders 0..Count - 1.
  template <bool Culled, bool Listed>
  void ComputeReading(const TCylinderView& Cylinders, const std::uint32_t* Indices, std::size_t Count);
  // The reading from cylinder First on (the ones before cannot be seen).
  template <bool Culled, bool Listed>
  [[gnu::noinline]] void ReadFrom(const TCylinderView& Cylinders, const std::uint32_t* Indices, std::size_t Count,
                                  std::size_t First);

  // The rejection test for the current OpeningAngle and Range, and the
  // mounting's cosine and sine for the current RelativeDirection: rebuilt
  // apart from the step's path, which then keeps its registers.
  [[gnu::noinline, gnu::cold]] void RebuildCull();
  [[gnu::noinline, gnu::cold]] void RebuildMount();

  static constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
  // The rejection test and the OpeningAngle and Range it was built for.
  TSensorCull cull_;
  double cullOpening_ = kUnset;
  double cullRange_ = kUnset;
  // cos and sin of RelativeDirection, for the RelativeDirection in mountFor_.
  double mountCos_ = 1.0;
  double mountSin_ = 0.0;
  double mountFor_ = kUnset;
  // The axis built by Place from the heading's and the mounting's cosine
  // and sine (a few ulps from the exact one), valid while AbsoluteDirection
  // is axisFor_.
  double axisX_ = 1.0;
  double axisY_ = 0.0;
  double axisFor_ = kUnset;
};

}  // namespace kestrovan
