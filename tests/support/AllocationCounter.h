#pragma once

namespace tev::test {

// Counts the allocations the calling thread makes between Start and Stop (the test binary
// replaces operator new to do so).
void StartCountingAllocations();
int StopCountingAllocations();

}  // namespace tev::test
