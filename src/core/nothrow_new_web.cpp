// Allocations that may fail, on the page as natively: emscripten's C++
// library is built without exceptions, so its new (std::nothrow) ends the
// program when the page's fixed memory is full instead of answering null.
// Every caller of new (std::nothrow) checks for null (the module loader
// among them), so the page keeps their answer: a module too large for the
// page is refused, the page goes on. The library's delete frees with free.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
