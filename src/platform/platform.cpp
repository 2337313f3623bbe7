#include "platform/platform.h"

namespace karsvren::platform {
namespace {

IPlatform* gPlatformInUse = nullptr;

}  // namespace

IPlatform& Platform() {
  return gPlatformInUse != nullptr ? *gPlatformInUse : NativePlatform();
}

void UsePlatform(IPlatform* platform) { gPlatformInUse = platform; }

}  // namespace karsvren::platform
