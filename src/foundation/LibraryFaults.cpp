// What the standard library throws when it is misused or asked for more
// than memory can hold. The runtime's own versions throw std::length_error
// and its relatives, whose objects carry a copy-on-write string class of
// their own and pull some 40 to 60 KB into every program. Nothing here
// catches those types by name: the guards catch std::exception,
// std::bad_alloc or everything. So the same calls throw one small type
// derived from std::exception instead, and allocation, cast and typeid
// failures keep their own small types. Defined here, every one of the
// runtime's throwing helpers takes the runtime's place at link time: with
// one left out the linker would bring the runtime's whole set along, and
// the two would clash.
#include <exception>
#include <new>
#include <typeinfo>

namespace tonvane {
namespace {

class LibraryFault : public std::exception {
 public:
  explicit LibraryFault(const char* what) noexcept : what_(what != nullptr ? what : "library fault") {}
  const char* what() const noexcept override { return what_; }

 private:
  // The runtime passes string literals (or a format) only.
  const char* what_;
};

}  // namespace
}  // namespace tonvane

namespace std {

void __throw_logic_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_domain_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_invalid_argument(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_length_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_out_of_range(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw tonvane::LibraryFault(format); }
void __throw_runtime_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_range_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_overflow_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_underflow_error(const char* what) { throw tonvane::LibraryFault(what); }
void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }

}  // namespace std
