// The adapter's two threads: one reads the client's messages as they come, so
// that a pause can reach a run that is going on; the other answers them in
// order, runs included.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "dap/adapter.hpp"
#include "image/posix_file.hpp"

namespace cosmac::dap {
namespace {

// The messages read and not yet answered.
class Inbox {
public:
    void put(Incoming incoming)
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(incoming));
        arrived_.notify_one();
    }

    Incoming take()
    {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [this] { return !waiting_.empty(); });
        Incoming incoming = std::move(waiting_.front());
        waiting_.pop_front();
        return incoming;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Incoming> waiting_;
};

// What ends a run at once: a pause, and the client leaving.
bool interrupts(const Incoming& incoming)
{
    if (incoming.kind == Incoming::Kind::End)
        return true;
    if (incoming.kind != Incoming::Kind::Message || !incoming.body.contains("command"))
        return false;
    const Json& command = incoming.body["command"];
    return command == "pause" || command == "disconnect" || command == "terminate";
}

}  // namespace

int serve(int input, int output)
{
    std::atomic<bool> interrupt = false;
    Inbox inbox;
    int stop_reading[2];
    if (::pipe(stop_reading) != 0)
        return 1;
    // Reads until the input ends, or until the answering side is done and says
    // so on the pipe.
    std::thread reader([&] {
        MessageReader messages([&](char* data, std::size_t size) -> std::size_t {
            pollfd ready[2] = {{input, POLLIN, 0}, {stop_reading[0], POLLIN, 0}};
            for (;;) {
                if (::poll(ready, 2, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    return 0;
                }
                if (ready[1].revents != 0)
                    return 0;
                const ssize_t n = ::read(input, data, size);
                if (n >= 0)
                    return static_cast<std::size_t>(n);
                if (errno != EINTR && errno != EAGAIN)
                    return 0;
            }
        });
        for (;;) {
            Incoming incoming = messages.next();
            const bool end = incoming.kind == Incoming::Kind::End;
            if (interrupts(incoming))
                interrupt = true;
            inbox.put(std::move(incoming));
            if (end)
                return;
        }
    });
    bool sending = true;  // until the client stops reading
    Adapter adapter(
        [&](const Json& message) {
            const std::string text = framed(message);
            sending = sending && write_all(output, text.data(), text.size()) == 0;
        },
        interrupt);
    for (;;) {
        const Incoming incoming = inbox.take();
        if (incoming.kind == Incoming::Kind::End)
            break;
        if (incoming.kind != Incoming::Kind::Message)
            continue;  // the protocol has no answer for what is no message
        if (interrupts(incoming))
            interrupt = false;  // it has ended any run it came during
        if (!adapter.handle(incoming.body) || !sending)
            break;
    }
    const char done = 0;
    [[maybe_unused]] const ssize_t told = ::write(stop_reading[1], &done, 1);
    reader.join();
    ::close(stop_reading[0]);
    ::close(stop_reading[1]);
    return 0;
}

}  // namespace cosmac::dap
