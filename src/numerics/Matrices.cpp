#include "numerics/Matrices.h"

#include <iostream>
#include <limits>
#include <new>
#include <stdexcept>

#include "numerics/RandomNumbers.h"

namespace kestrovan {

namespace {

void WriteToStandardError(const std::string& message) { std::cerr << message << '\n'; }

TOutOfMemoryHandler outOfMemoryHandler = &WriteToStandardError;

void CheckCount(int count, const char* what) {
  if (count < 0) {
    throw std::invalid_argument(std::string("negative ") + what + ": " + std::to_string(count));
  }
}

}  // namespace

TOutOfMemoryHandler SetOutOfMemoryHandler(TOutOfMemoryHandler handler) {
  TOutOfMemoryHandler previous = outOfMemoryHandler;
  outOfMemoryHandler = handler != nullptr ? handler : &WriteToStandardError;
  return previous;
}

// ---------------------------------------------------------------- TMatrix

TMatrix::TMatrix(int Rows, int Columns) {
  CheckCount(Rows, "row count");
  CheckCount(Columns, "column count");
  const std::size_t stride = static_cast<std::size_t>(Columns) + 1;
  const std::size_t rowSlots = static_cast<std::size_t>(Rows) + 1;
  // a refused allocation leaves a 0 x 0 matrix and tells the user; the
  // caller sees Rows() == 0 and so touches no element
  try {
    if (rowSlots > std::numeric_limits<std::size_t>::max() / sizeof(double) / stride) {
      throw std::bad_alloc();
    }
    data_.assign(rowSlots * stride, 0.0);
    rows_ = Rows;
    columns_ = Columns;
    stride_ = stride;
  } catch (const std::bad_alloc&) {
    data_.assign(1, 0.0);
    rows_ = 0;
    columns_ = 0;
    stride_ = 1;
    outOfMemoryHandler("Sorry, out of memory");
  }
}

TMatrix::TMatrix(const TMatrix& Source)
    : rows_(Source.rows_),
      columns_(Source.columns_),
      stride_(Source.stride_),
      data_(Source.data_.begin(),
            Source.data_.begin() +
                static_cast<std::ptrdiff_t>((static_cast<std::size_t>(Source.rows_) + 1) * Source.stride_)) {}

TMatrix& TMatrix::operator=(const TMatrix& Source) {
  // in the storage already held when it is large enough (a genome copied
  // over a genome of the same shape allocates nothing)
  if (this != &Source) {
    const auto used = static_cast<std::ptrdiff_t>((static_cast<std::size_t>(Source.rows_) + 1) * Source.stride_);
    data_.assign(Source.data_.begin(), Source.data_.begin() + used);
    rows_ = Source.rows_;
    columns_ = Source.columns_;
    stride_ = Source.stride_;
  }
  return *this;
}

void TMatrix::FillRandom(double Min, double Max) {
  for (int i = 1; i <= rows_; ++i) {
    for (int j = 1; j <= columns_; ++j) {
      SetElement(i, j, Min + Random() * (Max - Min));
    }
  }
}

void TMatrix::AddRow() {
  const std::size_t needed = (static_cast<std::size_t>(rows_) + 2) * stride_;
  // grow the capacity geometrically so that recording a long trajectory
  // row by row stays linear
  if (needed > data_.capacity()) {
    data_.reserve(std::max(needed, 2 * data_.capacity()));
  }
  data_.resize(needed, 0.0);
  ++rows_;
}

void TMatrix::ReserveRows(int Rows) {
  if (Rows > rows_) {
    data_.reserve((static_cast<std::size_t>(Rows) + 1) * stride_);
  }
}

// ---------------------------------------------------------------- TVector

TVector::TVector(int Count) : count_(Count) {
  CheckCount(Count, "element count");
  data_.assign(static_cast<std::size_t>(Count) + 1, 0.0);
}

void TVector::SetToZero() {
  for (int i = 1; i <= count_; ++i) {
    data_[static_cast<std::size_t>(i)] = 0.0;
  }
}

void TVector::Append(double Value) {
  // push_back grows the capacity geometrically
  data_.push_back(Value);
  ++count_;
}

double TVector::Sum() const {
  double sum = 0.0;
  for (int i = 1; i <= count_; ++i) {
    sum += data_[static_cast<std::size_t>(i)];
  }
  return sum;
}

// --------------------------------------------------------- TIntegerVector

TIntegerVector::TIntegerVector(int Count) : count_(Count) {
  CheckCount(Count, "element count");
  data_.assign(static_cast<std::size_t>(Count) + 1, 0);
}

void TIntegerVector::SetToZero() {
  for (int i = 1; i <= count_; ++i) {
    data_[static_cast<std::size_t>(i)] = 0;
  }
}

}  // namespace kestrovan
