// Each test program counts every C++ allocation (operator new) on every
// thread, so that a test can show that a piece of work allocates nothing.
#pragma once

// Allocations made so far by the whole program.
long CountedAllocations();
