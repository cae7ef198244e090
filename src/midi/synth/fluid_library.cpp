#include "midi/synth/fluid_library.h"

#include <dlfcn.h>


namespace melko {

namespace {

struct Loaded {
  FluidApi Api;
  bool Ok = false;
  std::string Error;
};

// Never destroyed: a synth may still be torn down on another thread while
// the process ends.
Loaded& Library() {
  static Loaded* loaded = [] {
    auto* l = new Loaded();
    // The soname of FluidSynth 2; the unversioned name is a development
    // link, tried last for a library built by hand.
    void* handle = nullptr;
    for (const char* name : {"libfluidsynth.so.3", "libfluidsynth.so"}) {
      handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
      if (handle) break;
      if (l->Error.empty()) l->Error = ::dlerror();
    }
    if (!handle) {
      l->Error = "FluidSynth could not be loaded (" + l->Error + ").";
      return l;
    }
#define MELKO_FLUID_RESOLVE(name)                                                          \
  l->Api.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));               \
  if (!l->Api.name) {                                                                      \
    l->Error = "FluidSynth could not be loaded (the function " #name " is missing).";     \
    return l;                                                                              \
  }
    MELKO_FLUID_FUNCTIONS(MELKO_FLUID_RESOLVE)
#undef MELKO_FLUID_RESOLVE
    l->Error.clear();
    l->Ok = true;
    return l;
  }();
  return *loaded;
}

}  // namespace

const FluidApi* FluidLibrary(std::string* error) {
  Loaded& l = Library();
  if (!l.Ok) {
    if (error) *error = l.Error;
    return nullptr;
  }
  return &l.Api;
}

}  // namespace melko
