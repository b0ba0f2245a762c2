// Task: a callable without arguments, held by value and movable only, so
// that work which owns what it needs (a std::unique_ptr to a result, say)
// can be handed to another thread.
//
//   flutter::Task task([result = std::move(result)] { result->Success(); });
//   task();
#ifndef FLUTTER_TASK_H_
#define FLUTTER_TASK_H_

#include <memory>
#include <type_traits>
#include <utility>

namespace flutter {

class Task {
 public:
  Task() = default;

  // Takes any callable without arguments, copyable or move-only.
  template <typename Callable,
            typename = std::enable_if_t<
                !std::is_same_v<std::decay_t<Callable>, Task> &&
                std::is_invocable_v<std::decay_t<Callable>&>>>
  Task(Callable&& callable)  // NOLINT: implicit, as std::function's is
      : callable_(std::make_unique<Holder<std::decay_t<Callable>>>(
            std::forward<Callable>(callable))) {}

  Task(Task&&) noexcept = default;
  Task& operator=(Task&&) noexcept = default;

  explicit operator bool() const { return callable_ != nullptr; }

  // Runs the callable; the task must not be empty.
  void operator()() { callable_->Run(); }

 private:
  struct Callable {
    virtual ~Callable() = default;
    virtual void Run() = 0;
  };

  template <typename F>
  struct Holder : Callable {
    template <typename G>
    explicit Holder(G&& held) : function(std::forward<G>(held)) {}
    void Run() override { function(); }
    F function;
  };

  std::unique_ptr<Callable> callable_;
};

}  // namespace flutter

#endif  // FLUTTER_TASK_H_
