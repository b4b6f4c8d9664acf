#pragma once

namespace kestrovan::test {

// The number of allocations made through operator new in this test program so far.
long AllocationCount();

}  // namespace kestrovan::test
