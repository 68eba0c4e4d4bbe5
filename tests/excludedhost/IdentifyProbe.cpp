// Prints what host identification makes of the executable it runs in: the
// identity read from its version resource through the operating system, and the
// answers to a few keys. Built with and without the excluded host's resource.
#include <cstdio>

#include "host/HostIdentity.h"

int main() {
  const uint32 premiere = QueryHostVersion(FourCC("PrMr"));
  const uint32 photoshop = QueryHostVersion(FourCC("8BIM"));
  const uint32 unknown = QueryHostVersion(FourCC("XXXX"));
  std::printf("signature=%08x version=%u.%u.%u osCode=%u PrMr=%08x 8BIM=%08x XXXX=%08x\n",
              static_cast<unsigned>(hostIdentity.signature), hostIdentity.major, hostIdentity.minor,
              hostIdentity.fix, hostIdentity.osCode, static_cast<unsigned>(premiere),
              static_cast<unsigned>(photoshop), static_cast<unsigned>(unknown));
  return 0;
}
