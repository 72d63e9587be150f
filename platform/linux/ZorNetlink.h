// One rtnetlink dump (addresses, neighbours...) for the Linux platform files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct nlmsghdr;

namespace ZorPlatform {

// Asks the kernel for every object of a kind (iType: RTM_GETADDR, RTM_GETNEIGH) of one address
// family, and hands each message of the answer to f. iTailleEntete is the size of the kind's
// own header (ifaddrmsg, ndmsg), which starts with its family byte. True when the whole answer
// was read; false when rtnetlink could not be asked or did not answer to the end in time.
bool DumpNetlink(uint16_t iType, uint8_t iFamille, size_t iTailleEntete,
                 const std::function<void(const nlmsghdr*)>& f);

} // namespace ZorPlatform
