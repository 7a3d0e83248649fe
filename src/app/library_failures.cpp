// The standard library's own failures (a size past max_size, a position past a
// string's end, a string made from a null pointer), thrown here instead of by
// the library's stock helpers. Those build std::logic_error and its kin, whose
// reference-counted strings bring about 30 KiB of library code into a program
// every user downloads. The program's catches see what they saw before: a size
// that cannot be had is std::bad_alloc, the rest a std::exception.
#include <exception>
#include <new>

namespace {

class library_failure : public std::exception {
public:
    explicit library_failure(const char* text) noexcept : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;  // the library's own literal
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char* text) { throw library_failure(text); }
void __throw_out_of_range_fmt(const char* format, ...) { throw library_failure(format); }

}  // namespace std
