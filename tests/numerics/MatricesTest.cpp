#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "numerics/Matrices.h"
#include "numerics/RandomNumbers.h"

namespace kestrovan {
namespace {

TEST(TMatrix, NewMatrixIsZero) {
  TMatrix m(3, 4);
  EXPECT_EQ(m.Rows(), 3);
  EXPECT_EQ(m.Columns(), 4);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 4; ++j) {
      EXPECT_EQ(m.GetElement(i, j), 0.0);
    }
  }
}

TEST(TMatrix, AddRowToEmptyMatrixKeepsEarlierRows) {
  TMatrix m(0, 2);
  EXPECT_EQ(m.Rows(), 0);
  EXPECT_EQ(m.Columns(), 2);
  m.AddRow();
  ASSERT_EQ(m.Rows(), 1);
  EXPECT_EQ(m.GetElement(1, 1), 0.0);
  EXPECT_EQ(m.GetElement(1, 2), 0.0);
  m.SetElement(1, 1, 1.5);
  m.SetElement(1, 2, -2.5);
  m.AddRow();
  ASSERT_EQ(m.Rows(), 2);
  EXPECT_EQ(m.GetElement(1, 1), 1.5);
  EXPECT_EQ(m.GetElement(1, 2), -2.5);
  EXPECT_EQ(m.GetElement(2, 1), 0.0);
  EXPECT_EQ(m.GetElement(2, 2), 0.0);
}

TEST(TMatrix, ManyRowsKeepEveryValue) {
  // a long trajectory: every row written survives the regrowth of the storage
  TMatrix m(0, 3);
  for (int i = 1; i <= 100000; ++i) {
    m.AddRow();
    m.SetElement(i, 1, i);
    m.SetElement(i, 3, -i);
  }
  ASSERT_EQ(m.Rows(), 100000);
  for (int i = 1; i <= 100000; i += 997) {
    EXPECT_EQ(m.GetElement(i, 1), i);
    EXPECT_EQ(m.GetElement(i, 2), 0.0);
    EXPECT_EQ(m.GetElement(i, 3), -i);
  }
}

TEST(TMatrix, ReserveRowsChangesNothingVisible) {
  TMatrix m(1, 2);
  m.SetElement(1, 2, 7.0);
  m.ReserveRows(1000);
  EXPECT_EQ(m.Rows(), 1);
  EXPECT_EQ(m.GetElement(1, 2), 7.0);
  m.AddRow();
  EXPECT_EQ(m.GetElement(1, 2), 7.0);
  EXPECT_EQ(m.GetElement(2, 2), 0.0);
}

TEST(TMatrix, CopyIsIndependent) {
  TMatrix source(2, 2);
  source.SetElement(2, 1, 4.0);
  TMatrix copy(source);
  EXPECT_EQ(copy.Rows(), 2);
  EXPECT_EQ(copy.Columns(), 2);
  EXPECT_EQ(copy.GetElement(2, 1), 4.0);
  copy.SetElement(2, 1, 9.0);
  copy.AddRow();
  EXPECT_EQ(source.GetElement(2, 1), 4.0);
  EXPECT_EQ(source.Rows(), 2);
}

TEST(TMatrix, AssignmentTakesShapeAndValuesWhateverTheTargetHeld) {
  TMatrix source(2, 3);
  source.SetElement(2, 3, 5.0);
  source.SetElement(1, 1, -1.0);
  // a larger target with rows reserved, a smaller one, one of the same shape
  TMatrix large(4, 5);
  large.ReserveRows(10);
  large.SetElement(1, 2, 8.0);
  TMatrix small(1, 1);
  TMatrix same(2, 3);
  same.SetElement(1, 2, 6.0);
  for (TMatrix* target : {&large, &small, &same}) {
    *target = source;
    ASSERT_EQ(target->Rows(), 2);
    ASSERT_EQ(target->Columns(), 3);
    for (int i = 1; i <= 2; ++i) {
      for (int j = 1; j <= 3; ++j) {
        EXPECT_EQ(target->GetElement(i, j), source.GetElement(i, j)) << i << ", " << j;
      }
    }
    // still its own storage, and it grows as before
    target->SetElement(2, 3, 7.0);
    target->AddRow();
    EXPECT_EQ(target->GetElement(3, 1), 0.0);
    EXPECT_EQ(target->GetElement(2, 3), 7.0);
    EXPECT_EQ(source.GetElement(2, 3), 5.0);
  }
  TMatrix& alias = same;
  same = alias;
  EXPECT_EQ(same.GetElement(2, 3), 7.0);
}

TEST(TMatrix, FillRandomRowByRow) {
  RandSeed = 0;
  TMatrix m(2, 3);
  m.FillRandom(0.0, 1.0);
  RandSeed = 0;
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(m.GetElement(i, j), Random()) << i << "," << j;
    }
  }
}

TEST(TMatrix, FillRandomRange) {
  RandSeed = 12345;
  TMatrix constant(4, 4);
  constant.FillRandom(2.0, 2.0);
  TMatrix unit(50, 20);
  unit.FillRandom(0.0, 1.0);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) {
      EXPECT_EQ(constant.GetElement(i, j), 2.0);
    }
  }
  for (int i = 1; i <= 50; ++i) {
    for (int j = 1; j <= 20; ++j) {
      EXPECT_GE(unit.GetElement(i, j), 0.0);
      EXPECT_LT(unit.GetElement(i, j), 1.0);
    }
  }
}

std::string lastNotice;
int notices = 0;
void RecordNotice(const std::string& message) {
  lastNotice = message;
  ++notices;
}

TEST(TMatrix, RefusedStorageLeavesEmptyMatrixAndTellsTheUser) {
  TOutOfMemoryHandler previous = SetOutOfMemoryHandler(&RecordNotice);
  notices = 0;
  TMatrix huge(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
  SetOutOfMemoryHandler(previous);
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(lastNotice, "Sorry, out of memory");
  EXPECT_EQ(huge.Rows(), 0);
  EXPECT_EQ(huge.Columns(), 0);
}

TEST(TMatrix, NegativeShapeIsRefused) {
  EXPECT_THROW(TMatrix(-1, 2), std::invalid_argument);
  EXPECT_THROW(TMatrix(2, -1), std::invalid_argument);
}

TEST(TVector, AppendToEmptyVector) {
  TVector v(0);
  EXPECT_EQ(v.Count(), 0);
  EXPECT_EQ(v.Sum(), 0.0);
  v.Append(3.5);
  ASSERT_EQ(v.Count(), 1);
  EXPECT_EQ(v.GetElement(1), 3.5);
  v.Append(-1.0);
  EXPECT_EQ(v.Count(), 2);
  EXPECT_EQ(v.GetElement(1), 3.5);
  EXPECT_EQ(v.GetElement(2), -1.0);
}

TEST(TVector, SumAddsInIndexOrder) {
  // 1e16 + 1 + 1 rounds differently from 1 + 1 + 1e16
  TVector v(3);
  v.SetElement(1, 1e16);
  v.SetElement(2, 1.0);
  v.SetElement(3, 1.0);
  EXPECT_EQ(v.Sum(), (1e16 + 1.0) + 1.0);
  EXPECT_NE(v.Sum(), 1e16 + 2.0);
}

TEST(TVector, SetToZeroAndCopy) {
  TVector v(3);
  v.SetElement(2, 5.0);
  TVector copy(v);
  v.SetToZero();
  EXPECT_EQ(v.GetElement(2), 0.0);
  EXPECT_EQ(copy.GetElement(2), 5.0);
  EXPECT_EQ(copy.Count(), 3);
}

TEST(TIntegerVector, ZeroedAndWritable) {
  TIntegerVector v(3);
  EXPECT_EQ(v.Count(), 3);
  EXPECT_EQ(v.GetElement(3), 0);
  v.SetElement(3, -7);
  v.SetElement(1, 255);
  EXPECT_EQ(v.GetElement(3), -7);
  v.SetToZero();
  EXPECT_EQ(v.GetElement(1), 0);
  EXPECT_EQ(v.GetElement(3), 0);
}

}  // namespace
}  // namespace kestrovan
