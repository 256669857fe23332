// The audio library reads each device's description with pa_proplist_gets() and copies the result
// as a C string. Where PipeWire leaves the property out (a pipe source, a loopback), this answers
// with the name PipeWire describes the device by instead of nothing; every other question gets
// libpulse's own answer. Defined in the program itself, and exported from it, the dynamic linker
// hands this to the library in place of libpulse's, also where the library is loaded later with
// the devices' module.

#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

struct pa_proplist;

namespace {

using Gets = const char* (*)(const pa_proplist*, const char*);

Gets libpulseGets() {
  static const Gets gets = [] {
    if (void* next = ::dlsym(RTLD_NEXT, "pa_proplist_gets")) return reinterpret_cast<Gets>(next);
    // Loaded by a module, libpulse is outside the program's own search order.
    void* libpulse = ::dlopen("libpulse.so.0", RTLD_LAZY | RTLD_NOLOAD);
    return libpulse != nullptr ? reinterpret_cast<Gets>(::dlsym(libpulse, "pa_proplist_gets"))
                               : nullptr;
  }();
  return gets;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* pa_proplist_gets(
    const pa_proplist* properties, const char* key) {
  const Gets gets = libpulseGets();
  if (gets == nullptr) return nullptr;
  const char* value = gets(properties, key);
  if (value != nullptr || key == nullptr || std::strcmp(key, "device.description") != 0)
    return value;
  for (const char* fallback : {"node.description", "node.nick", "node.name"})
    if (const char* described = gets(properties, fallback)) return described;
  return "";
}
