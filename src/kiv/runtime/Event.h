#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kiv {

// An event of a control: handlers run in the order they were connected, each
// receiving the arguments by reference, so a handler's change to a cancel
// flag or key code is seen by the raiser and by later handlers.
//
// A control keeps its events in a public member struct `events`:
//   struct Events { Event<std::int16_t, std::int16_t> KeyDown; Event<> Change; } events;
//   uni.events.KeyDown.connect([](std::int16_t& key, std::int16_t& shift) { ... });
//
// Handlers may connect or disconnect handlers (their own included) while the
// event is being raised; the change takes effect from the next raise.
template <class... Args>
class Event {
 public:
  using Handler = std::function<void(Args&...)>;
  using Id = std::size_t;

  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Returns an id for disconnect().
  Id connect(Handler handler) {
    slots_.push_back(std::make_shared<Slot>(Slot{++lastId_, std::move(handler)}));
    return lastId_;
  }

  void disconnect(Id id) {
    std::erase_if(slots_, [id](const std::shared_ptr<Slot>& s) { return s->id == id; });
  }

  void disconnectAll() { slots_.clear(); }

  bool connected() const { return !slots_.empty(); }

  // Runs every handler before it returns; exceptions of a handler propagate
  // to the raiser.
  void raise(Args&... args) const {
    if (slots_.empty()) return;
    const auto snapshot = slots_;
    for (const auto& slot : snapshot)
      slot->handler(args...);
  }

 private:
  struct Slot {
    Id id;
    Handler handler;
  };
  std::vector<std::shared_ptr<Slot>> slots_;
  Id lastId_ = 0;
};

}  // namespace kiv
