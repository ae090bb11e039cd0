#include "link/agent_link.h"

#include "link/messages.h"
#include "platform/process_rights.h"

namespace orv {

bool AgentNeedsPipe() {
  WindowHandle agent = bus::FindWindow(kAgentWindowTitle);
  pid_t pid = agent ? bus::WindowProcessId(agent) : 0;
  if (pid == 0) return false;
  return ProcessElevation(pid) == kElevationFull && ThisProcessElevation() == kElevationLimited;
}

AgentLink::AgentLink(bool usePipe, WindowHandle ownWindow) {
  if (!usePipe) return;
  pipe_ = std::make_unique<PipeChannel>(ownWindow, PipePath(kPipeName), PipeChannel::kClient);
  pipe_->Start();
}

AgentLink::~AgentLink() = default;

LResult AgentLink::Post(uint32_t code, WParam wParam, LParam lParam) {
  if (pipe_) return pipe_->PipeSend(code, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
  WindowHandle agent = bus::FindWindow(kAgentWindowTitle);
  return agent && bus::Post(agent, code, wParam, lParam) ? 1 : 0;
}

LResult AgentLink::Send(uint32_t code, WParam wParam, LParam lParam, uint32_t timeoutMs, bus::SendOutcome* outcome) {
  if (outcome) *outcome = bus::SendOutcome::kDelivered;
  if (pipe_) return pipe_->PipeSend(code, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
  if (outcome) *outcome = bus::SendOutcome::kNotDelivered;
  WindowHandle agent = bus::FindWindow(kAgentWindowTitle);
  return agent ? bus::SendTimeout(agent, code, wParam, lParam, timeoutMs, outcome) : 0;
}

}  // namespace orv
