#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrovan {

// Receives the text of a refused-allocation notice ("Sorry, out of memory").
// The core has no user interface; the GUI installs a handler that shows a
// message box. The default handler writes the text to standard error.
using TOutOfMemoryHandler = void (*)(const std::string& message);

// Installs a handler (nullptr restores the default) and returns the previous one.
TOutOfMemoryHandler SetOutOfMemoryHandler(TOutOfMemoryHandler handler);

// A grid of doubles indexed [1..Rows, 1..Columns]; row 0 and column 0 exist
// and carry no meaning. Element access is unchecked.
class TMatrix {
 public:
  // A Rows x Columns matrix of 0.0. When the storage cannot be obtained, the
  // out-of-memory handler is told and the matrix has 0 rows and 0 columns.
  TMatrix(int Rows, int Columns);
  TMatrix(const TMatrix& Source);
  TMatrix& operator=(const TMatrix& Source);
  TMatrix(TMatrix&&) noexcept = default;
  TMatrix& operator=(TMatrix&&) noexcept = default;

  int Rows() const { return rows_; }
  int Columns() const { return columns_; }

  double GetElement(int i, int j) const { return data_[Offset(i, j)]; }
  void SetElement(int i, int j, double Value) { data_[Offset(i, j)] = Value; }

  // Every element := Min + r * (Max - Min), one fresh Random per element,
  // row by row, column by column within a row.
  void FillRandom(double Min, double Max);

  // Appends a row of 0.0; existing elements keep their values. Amortised O(1).
  void AddRow();

  // Makes room for Rows rows without changing the matrix, so that later
  // AddRow calls up to that size do not allocate.
  void ReserveRows(int Rows);

 private:
  std::size_t Offset(int i, int j) const { return static_cast<std::size_t>(i) * stride_ + static_cast<std::size_t>(j); }

  int rows_ = 0;
  int columns_ = 0;
  std::size_t stride_ = 1;    // Columns + 1
  std::vector<double> data_;  // (Rows + 1) * stride_ elements in use
};

// A list of doubles indexed 1..Count; element 0 carries no meaning.
class TVector {
 public:
  explicit TVector(int Count = 0);

  int Count() const { return count_; }
  double GetElement(int i) const { return data_[static_cast<std::size_t>(i)]; }
  void SetElement(int i, double Value) { data_[static_cast<std::size_t>(i)] = Value; }
  // The storage: element i at Elements()[i], 1 <= i <= Count (valid until
  // the next Append).
  double* Elements() { return data_.data(); }
  const double* Elements() const { return data_.data(); }

  // Elements 1..Count := 0.0.
  void SetToZero();
  // Count := Count + 1 and the new last element := Value. Amortised O(1).
  void Append(double Value);
  // Elements 1..Count added in index order into an accumulator starting at 0.0.
  double Sum() const;

 private:
  int count_ = 0;
  std::vector<double> data_;  // Count + 1 elements
};

// A list of 32-bit integers indexed 1..Count; element 0 carries no meaning.
class TIntegerVector {
 public:
  explicit TIntegerVector(int Count = 0);

  int Count() const { return count_; }
  std::int32_t GetElement(int i) const { return data_[static_cast<std::size_t>(i)]; }
  void SetElement(int i, std::int32_t Value) { data_[static_cast<std::size_t>(i)] = Value; }

  // Elements 1..Count := 0.
  void SetToZero();

 private:
  int count_ = 0;
  std::vector<std::int32_t> data_;  // Count + 1 elements
};

}  // namespace kestrovan
