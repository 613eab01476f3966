// The installer is built without exceptions. The C++ library still names its
// throw helpers from std::string and operator new; defining them here keeps
// the library's exception, terminate and demangler machinery (and the printf
// it pulls in) out of the executable. Each of these means memory or a size
// limit ran out, which the installer cannot recover from: end the process
// with the exit code every setup run ends with.
#include <windows.h>

#include <new>

namespace {
[[noreturn]] void EndProcess() {
  ExitProcess(0);
}
}  // namespace

namespace std {
void __throw_bad_alloc() { EndProcess(); }
void __throw_bad_array_new_length() { EndProcess(); }
void __throw_length_error(const char*) { EndProcess(); }
void __throw_logic_error(const char*) { EndProcess(); }
void __throw_out_of_range(const char*) { EndProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProcess(); }
void __throw_invalid_argument(const char*) { EndProcess(); }
void __throw_bad_function_call() { EndProcess(); }
}  // namespace std

// Allocation without the library's throwing operator new.
#include <cstdlib>

void* operator new(size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p) EndProcess();
  return p;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

// No C++ exception is ever thrown in this program, so the unwinder never has
// a C++ frame to clean up: a personality that always passes the exception on
// keeps the library's exception runtime out.
#if defined(__x86_64__)
extern "C" EXCEPTION_DISPOSITION __gxx_personality_seh0(PEXCEPTION_RECORD, void*, PCONTEXT,
                                                         PDISPATCHER_CONTEXT) {
  return ExceptionContinueSearch;
}
#else
extern "C" int __gxx_personality_v0(int, int, unsigned long long, void*, void*) {
  return 8;  // _URC_CONTINUE_UNWIND
}
// Landing pads of the prebuilt string code end in a resume of the unwinding;
// with no throw there is never an unwinding to resume.
extern "C" void _Unwind_Resume(void*) { EndProcess(); }
#endif

// The library's prebuilt string code still carries catch-and-rethrow paths
// (only reachable through a throw, which never happens here).
extern "C" void* __cxa_begin_catch(void*) noexcept { EndProcess(); }
extern "C" void __cxa_end_catch() {}
extern "C" void __cxa_rethrow() { EndProcess(); }
namespace std {
void terminate() noexcept { EndProcess(); }
}  // namespace std
namespace __gnu_cxx {
void __verbose_terminate_handler() { EndProcess(); }
}  // namespace __gnu_cxx
