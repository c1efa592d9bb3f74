#include "ClientConnection.h"

#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/QUIPPacket.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

ClientConnection::ClientConnection(int socket, std::uint64_t id)
    : socket_(socket), id_(id), connectedAt_(std::chrono::steady_clock::now()) {
    ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);
    // A confirming Status must not wait behind the acknowledgement of the last one.
    const int yes = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

ClientConnection::~ClientConnection() {
    ::close(socket_);
}

std::vector<UnitRequest> ClientConnection::receive() {
    std::array<std::uint8_t, 8192> chunk{};
    // Bounded: a host that sends without pause is read again at the next turn.
    for (int reads = 0; reads < 4 && !failed_; ++reads) {
        const ssize_t got = ::recv(socket_, chunk.data(), chunk.size(), 0);
        if (got > 0) {
            heardFrom_ = true;
            input_.insert(input_.end(), chunk.begin(), chunk.begin() + got);
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            fail();
        }
        break;
    }

    std::vector<UnitRequest> requests;
    std::size_t used = 0;
    while (!failed_ && input_.size() - used >= QUIPPacket::lengthFieldSize) {
        std::uint32_t length = 0;
        for (std::size_t byte = 0; byte < QUIPPacket::lengthFieldSize; ++byte) {
            length = (length << 8) | input_[used + byte];
        }
        // An empty body carries no command; a longer one than the unit takes
        // leaves no way to find the next packet.
        if (length <= QUIPPacket::lengthFieldSize ||
            length - QUIPPacket::lengthFieldSize > QUIPPacket::maximumBodyLength) {
            fail();
            break;
        }
        if (input_.size() - used < length) {
            break;
        }
        try {
            requests.push_back(
                UnitRequest::decode(input_.data() + used + QUIPPacket::lengthFieldSize,
                                    length - QUIPPacket::lengthFieldSize));
        } catch (const VerloException&) {
            fail();
        }
        used += length;
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(used));
    return requests;
}

void ClientConnection::send(const Command& command) {
    if (failed_) {
        return;
    }
    QUIPPacket packet;
    packet.setCommand(command);
    const std::size_t start = output_.size();
    output_.resize(start + QUIPPacket::lengthFieldSize + packet.dataLength());
    packet.writeToBuffer(output_.data() + start, output_.size() - start);
    if (output_.size() > outputLimit) {
        fail();
        return;
    }
    flush();
}

void ClientConnection::flush() {
    while (!failed_ && !output_.empty()) {
        const ssize_t sent = ::send(socket_, output_.data(), output_.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            output_.erase(output_.begin(), output_.begin() + sent);
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else if (sent < 0 && errno != EINTR) {
            fail();
        }
    }
}
