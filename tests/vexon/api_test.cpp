// The library exports every call its header declares, under the header's
// name: the header is compiled against the definitions in the library's own
// build, so what remains to check is that the export map lets each one out.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <vexon.h>

#include <string>
#include <vector>

namespace {

TEST(Api, EveryCallOfTheHeaderIsExported) {
  void* lib = dlopen(VEXON_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  std::vector<std::string> missing;
#define VEXON_CHECK_EXPORT(name, ...) \
  if (!dlsym(lib, #name)) missing.push_back(#name);
  VEXON_FUNCTIONS(VEXON_CHECK_EXPORT)
  VEXON_STATUS_FUNCTIONS(VEXON_CHECK_EXPORT)
#undef VEXON_CHECK_EXPORT
  EXPECT_EQ(missing, std::vector<std::string>{});
  dlclose(lib);
}

}  // namespace
