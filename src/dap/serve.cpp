// The adapter's two threads: one reads the client's messages as they come, so
// that a pause can reach a run that is going on; the other answers them in
// order, runs included.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "dap/adapter.hpp"
#include "image/posix_file.hpp"

namespace cosmac::dap {
namespace {

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

// A request that may start a run of its own, which a pause after it is meant for.
bool may_run(const Incoming& incoming)
{
    static const std::set<std::string> kRunning = {"configurationDone", "continue", "next",    "stepIn",
                                                   "stepOut",           "stepBack", "reverseContinue", "goto",
                                                   "restart",           "evaluate"};
    return incoming.kind == Incoming::Kind::Message && incoming.body.contains("command") &&
           incoming.body["command"].is_string() && kRunning.contains(incoming.body["command"].get<std::string>());
}

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

    // Whether a message that ends a run waits, with no request before it that
    // would start a run of its own: while messages are read ahead, a pause is
    // for the run that the request before it starts, not for one before that.
    bool interrupt_waiting()
    {
        const std::lock_guard lock(mutex_);
        for (const Incoming& incoming : waiting_) {
            if (interrupts(incoming))
                return true;
            if (may_run(incoming))
                return false;
        }
        return false;
    }

    // The first request waiting that types input for the program, taken out of turn.
    std::optional<Json> take_typed()
    {
        const std::lock_guard lock(mutex_);
        const auto typed = std::find_if(waiting_.begin(), waiting_.end(), [](const Incoming& incoming) {
            return incoming.kind == Incoming::Kind::Message && is_typed_input(incoming.body);
        });
        if (typed == waiting_.end())
            return std::nullopt;
        Json request = std::move(typed->body);
        waiting_.erase(typed);
        return request;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Incoming> waiting_;
};

}  // namespace

int serve(int input, int output)
{
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
        Inbound{[&inbox] { return inbox.interrupt_waiting(); }, [&inbox] { return inbox.take_typed(); }});
    for (;;) {
        const Incoming incoming = inbox.take();
        if (incoming.kind == Incoming::Kind::End)
            break;
        if (incoming.kind != Incoming::Kind::Message)
            continue;  // the protocol has no answer for what is no message
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
