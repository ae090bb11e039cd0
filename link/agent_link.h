#pragma once
// How the panel reaches the agent. When the agent runs with full rights and the panel with
// limited ones, the agent's window refuses the panel's messages, so every panel-to-agent
// message travels over the pipe instead; otherwise it goes over the window bus.
#include <memory>

#include "link/pipe_channel.h"
#include "link/window_bus.h"

namespace orv {

// The pipe flag, decided once at the panel's start: 1 only when the agent window is found,
// both elevations can be read, the agent's is full and this process's limited.
bool AgentNeedsPipe();

class AgentLink {
 public:
  // `ownWindow` receives whatever the agent might write back over the pipe.
  AgentLink(bool usePipe, WindowHandle ownWindow);
  ~AgentLink();
  AgentLink(const AgentLink&) = delete;
  AgentLink& operator=(const AgentLink&) = delete;

  bool usesPipe() const { return pipe_ != nullptr; }
  // Over the pipe: the record is written to a connected pipe, and the answer is always 1.
  // By message: Post gives 1 when the message was queued, Send the agent's result; both 0
  // when the agent window is missing (nothing is sent). Send waits at most `timeoutMs` for the
  // agent's answer, so a busy or hung agent never freezes the panel; `outcome` (when given)
  // tells an answer from a time-out (the message is then still handled later).
  LResult Post(uint32_t code, WParam wParam, LParam lParam);
  LResult Send(uint32_t code, WParam wParam, LParam lParam, uint32_t timeoutMs = bus::kPeerSendTimeoutMs,
               bus::SendOutcome* outcome = nullptr);
  PipeChannel* pipe() { return pipe_.get(); }

 private:
  std::unique_ptr<PipeChannel> pipe_;
};

}  // namespace orv
