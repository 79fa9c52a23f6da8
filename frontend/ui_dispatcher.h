#pragma once
// Window updates requested from other threads run on the toolkit's main
// thread. The program gives the dispatcher a poster that queues the call on
// the main loop; without one (tests) the call runs at once on the caller's
// thread.
#include <functional>
#include <utility>

namespace velm::gui {

class UiDispatcher {
  public:
    using Task = std::function<void()>;
    using Poster = std::function<void(Task)>;

    UiDispatcher() = default;
    explicit UiDispatcher(Poster poster) : poster_(std::move(poster)) {}

    void post(Task task) const {
        if (poster_)
            poster_(std::move(task));
        else
            task();
    }

  private:
    Poster poster_;
};

} // namespace velm::gui
