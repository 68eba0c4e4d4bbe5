// msvcrt: the C library functions that the plug-in's runtime imports, served by
// this program's own C library (both use cdecl), with msvcrt's stream table and
// 16-bit wide characters where the two libraries differ.
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "StandIns.h"

namespace {

// msvcrt's FILE is 32 bytes; the plug-in addresses stdin, stdout and stderr as
// the first three entries of _iob.
uint8_t iob[3][32];
int mbCurMax = 1;

FILE* Stream(void* file) {
  if (file == iob[1]) return stdout;
  if (file == iob[2]) return stderr;
  Unserved("msvcrt.dll stream functions", "only stdout and stderr exist in this host");
}

extern "C" {

int FputcStandIn(int c, void* file) {
  return std::fputc(c, Stream(file));
}

int FputsStandIn(const char* text, void* file) {
  return std::fputs(text, Stream(file));
}

std::size_t FwriteStandIn(const void* data, std::size_t size, std::size_t count, void* file) {
  return std::fwrite(data, size, count, Stream(file));
}

// On 32-bit x86 both libraries pass a va_list as a pointer to the arguments.
int VfprintfStandIn(void* file, const char* format, va_list args) {
  return std::vfprintf(Stream(file), format, args);
}

int* ErrnoStandIn() {
  return &errno;
}

void AmsgExitStandIn(int code) {
  Unserved("msvcrt.dll!_amsg_exit", "the runtime library stopped with error R6" +
                                        std::to_string(code / 10 % 10) + std::to_string(code % 10));
}

void AbortStandIn() {
  Unserved("msvcrt.dll!abort", "the plug-in aborted");
}

using InitFunction = void (*)();
void InittermStandIn(InitFunction* begin, InitFunction* end) {
  for (; begin < end; ++begin) {
    if (*begin != nullptr) (*begin)();
  }
}

void LockStandIn(int) {}

// The plug-in's runtime asks for the locale; it must not change this host's.
char* SetlocaleStandIn(int, const char*) {
  static char c[] = "C";
  return c;
}

std::lconv* LocaleconvStandIn() {
  return std::localeconv(); // the leading fields have msvcrt's layout
}

std::size_t WcslenStandIn(const uint16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0)
    ++length;
  return length;
}

int AtoiStandIn(const char* text) {
  return std::atoi(text);
}
void* CallocStandIn(std::size_t count, std::size_t size) {
  return std::calloc(count, size);
}
void FreeStandIn(void* block) {
  std::free(block);
}
void* MallocStandIn(std::size_t size) {
  return std::malloc(size);
}
void* ReallocStandIn(void* block, std::size_t size) {
  return std::realloc(block, size);
}
const void* MemchrStandIn(const void* data, int c, std::size_t size) {
  return std::memchr(data, c, size);
}
int MemcmpStandIn(const void* a, const void* b, std::size_t size) {
  return std::memcmp(a, b, size);
}
void* MemcpyStandIn(void* to, const void* from, std::size_t size) {
  return std::memcpy(to, from, size);
}
void* MemmoveStandIn(void* to, const void* from, std::size_t size) {
  return std::memmove(to, from, size);
}
void* MemsetStandIn(void* to, int c, std::size_t size) {
  return std::memset(to, c, size);
}
const char* StrchrStandIn(const char* text, int c) {
  return std::strchr(text, c);
}
int StrcmpStandIn(const char* a, const char* b) {
  return std::strcmp(a, b);
}
char* StrerrorStandIn(int code) {
  return std::strerror(code);
}
// The plug-in opens no files (it imports no _open): the descriptors it can
// name are the process's own, which the system's calls serve as they are.
int ReadStandIn(int descriptor, void* buffer, unsigned size) {
  return int(read(descriptor, buffer, size));
}
int CloseStandIn(int descriptor) {
  return close(descriptor);
}
std::size_t StrlenStandIn(const char* text) {
  return std::strlen(text);
}
int StrncmpStandIn(const char* a, const char* b, std::size_t size) {
  return std::strncmp(a, b, size);
}

} // extern "C"

#define STAND_IN(name, function)                                                                   \
  { name, reinterpret_cast<void*>(&function) }

} // namespace

const StandIn kMsvcrtStandIns[] = {
    {"__mb_cur_max", &mbCurMax},
    STAND_IN("_amsg_exit", AmsgExitStandIn),
    STAND_IN("_close", CloseStandIn),
    STAND_IN("_errno", ErrnoStandIn),
    STAND_IN("_initterm", InittermStandIn),
    {"_iob", iob},
    STAND_IN("_read", ReadStandIn),
    STAND_IN("_lock", LockStandIn),
    STAND_IN("_unlock", LockStandIn),
    STAND_IN("abort", AbortStandIn),
    STAND_IN("atoi", AtoiStandIn),
    STAND_IN("calloc", CallocStandIn),
    STAND_IN("fputc", FputcStandIn),
    STAND_IN("fputs", FputsStandIn),
    STAND_IN("free", FreeStandIn),
    STAND_IN("fwrite", FwriteStandIn),
    STAND_IN("localeconv", LocaleconvStandIn),
    STAND_IN("malloc", MallocStandIn),
    STAND_IN("memchr", MemchrStandIn),
    STAND_IN("memcmp", MemcmpStandIn),
    STAND_IN("memcpy", MemcpyStandIn),
    STAND_IN("memmove", MemmoveStandIn),
    STAND_IN("memset", MemsetStandIn),
    STAND_IN("realloc", ReallocStandIn),
    STAND_IN("setlocale", SetlocaleStandIn),
    STAND_IN("strchr", StrchrStandIn),
    STAND_IN("strcmp", StrcmpStandIn),
    STAND_IN("strerror", StrerrorStandIn),
    STAND_IN("strlen", StrlenStandIn),
    STAND_IN("strncmp", StrncmpStandIn),
    STAND_IN("vfprintf", VfprintfStandIn),
    STAND_IN("wcslen", WcslenStandIn),
    {nullptr, nullptr},
};
