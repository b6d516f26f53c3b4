#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <cstring>

namespace vindle {

// Sends one datagram to `to`. With `info`, an IP_PKTINFO control message goes along: it names the
// interface to leave by (ipi_ifindex, 0 for any) and the source address (ipi_spec_dst), which
// needs no privilege. Returns what sendmsg returns.
inline ssize_t SendWithPacketInfo(int fd, const sockaddr_in& to, const void* data, std::size_t size,
                                  const in_pktinfo* info, int flags) {
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&to);
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (info != nullptr) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* entry = CMSG_FIRSTHDR(&message);
        entry->cmsg_level = IPPROTO_IP;
        entry->cmsg_type = IP_PKTINFO;
        entry->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        std::memcpy(CMSG_DATA(entry), info, sizeof *info);
    }
    return ::sendmsg(fd, &message, flags);
}

}  // namespace vindle
