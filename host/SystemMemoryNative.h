// Controls of the native system memory, for tests: make allocations fail and
// count the blocks alive.
#pragma once

// After this many more successful allocations, every allocation fails; -1 never.
void FailSystemMemoryAfter(int allocations);
long LiveSystemMemoryBlocks();
