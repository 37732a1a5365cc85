// The render test program counts every C++ allocation (operator new), so a
// test can show that a piece of work allocates nothing.
#pragma once

// Allocations made so far by the whole program.
long CountedAllocations();
