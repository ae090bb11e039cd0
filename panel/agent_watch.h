#pragma once
// Whether the agent takes what the panel tells it, as the panel last saw it. Apply, the polling
// rate and the lift distance are saved to Config.xml whether the agent runs or not, but only a
// running agent hands them to the mouse; a user should see when it does not, without being
// stopped by a box. The watch stands between the panel and its way to the agent: a send's
// outcome says it at once; after a reload is posted, the agent is asked for its memory size
// behind it, and its answer (UM_MEMORY_SIZE, handed to Answered) shows that it took both. The
// main window shows the state on the on-board memory gauge.
#include <functional>
#include <memory>
#include <string_view>

#include "panel/panel_services.h"

namespace orv {

class SkinTimer;

enum class AgentState : uint8_t {
  kAnswering,     // the last send was answered, or the last question about the memory size
  kNotAnswering,  // its window is there, but a send timed out or the question went unanswered
  kNotRunning,    // no agent window: nothing could be sent
};

// The gauge's tooltip for each state.
std::u16string_view AgentStateText(AgentState state);

class AgentWatch : public AgentTransport {
 public:
  // How long the agent has to answer the question behind a reload (its reload takes about
  // 600 ms on a mouse that answers at once).
  static constexpr int kAnswerWaitMs = 5000;

  explicit AgentWatch(AgentTransport& agent);
  ~AgentWatch() override;

  bool UsesPipe() const override { return agent_.UsesPipe(); }
  bool AgentPresent() override;
  LResult Post(uint32_t code, WParam wParam, LParam lParam) override;
  LResult Send(uint32_t code, WParam wParam, LParam lParam, bus::SendOutcome* outcome = nullptr) override;
  bool PostToWindow(std::u16string_view title, uint32_t code, WParam wParam, LParam lParam) override {
    return agent_.PostToWindow(title, code, wParam, lParam);
  }

  // The agent's UM_MEMORY_SIZE arrived.
  void Answered();
  AgentState state() const { return state_; }
  // Runs whenever the state changes.
  std::function<void()> onChange;

 private:
  void Expect();
  void SetState(AgentState state);

  AgentTransport& agent_;
  std::unique_ptr<SkinTimer> deadline_;
  AgentState state_ = AgentState::kAnswering;
};

}  // namespace orv
