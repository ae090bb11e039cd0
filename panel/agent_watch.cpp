#include "panel/agent_watch.h"

#include "base/log.h"
#include "link/messages.h"
#include "skin/skin_timer.h"

namespace orv {

std::u16string_view AgentStateText(AgentState state) {
  switch (state) {
    case AgentState::kAnswering: return u"On-board memory the active profile needs";
    case AgentState::kNotAnswering:
      return u"The mouse's agent (OrvAgent) does not answer. Your settings are saved and reach the mouse "
             u"once it answers again; if this lasts, restart OrvAgent.";
    case AgentState::kNotRunning:
      return u"The mouse's agent (OrvAgent) is not running. Your settings are saved and reach the mouse "
             u"when it starts.";
  }
  return {};
}

AgentWatch::AgentWatch(AgentTransport& agent) : agent_(agent), deadline_(MakeSkinTimer()) {
  deadline_->onTimeout = [this] {
    deadline_->Stop();
    ORV_LOG(Panel, Warning, "the agent did not answer within %d ms", kAnswerWaitMs);
    SetState(AgentState::kNotAnswering);
  };
}

AgentWatch::~AgentWatch() { deadline_->Stop(); }

bool AgentWatch::AgentPresent() {
  const bool present = agent_.AgentPresent();
  if (!present) SetState(AgentState::kNotRunning);
  return present;
}

LResult AgentWatch::Post(uint32_t code, WParam wParam, LParam lParam) {
  const LResult posted = agent_.Post(code, wParam, lParam);
  if (posted == 0) {
    SetState(AgentState::kNotRunning);
    return posted;
  }
  // A reload that puts settings into the mouse (not the on-board write, whose progress window
  // reports on it): the question behind it is answered once the agent has taken it.
  if (code == UM_RELOAD_PROFILES && wParam == 0 && lParam == 0) {
    if (agent_.Post(UM_QUERY_MEMORY_SIZE, 0, 0) != 0) Expect();
  } else if (code == UM_QUERY_MEMORY_SIZE) {
    Expect();
  }
  return posted;
}

LResult AgentWatch::Send(uint32_t code, WParam wParam, LParam lParam, bus::SendOutcome* outcome) {
  bus::SendOutcome said = bus::SendOutcome::kDelivered;
  const LResult result = agent_.Send(code, wParam, lParam, &said);
  if (outcome) *outcome = said;
  switch (said) {
    case bus::SendOutcome::kDelivered: SetState(AgentState::kAnswering); break;
    case bus::SendOutcome::kTimedOut: SetState(AgentState::kNotAnswering); break;
    case bus::SendOutcome::kNotDelivered:
      // Refused during a modal loop of the agent's: it runs. Gone: it does not.
      if (!agent_.AgentPresent()) SetState(AgentState::kNotRunning);
      break;
  }
  return result;
}

void AgentWatch::Answered() {
  deadline_->Stop();
  SetState(AgentState::kAnswering);
}

void AgentWatch::Expect() {
  if (!deadline_->Active()) deadline_->Start(kAnswerWaitMs, true);
}

void AgentWatch::SetState(AgentState state) {
  if (state == state_) return;
  state_ = state;
  if (onChange) onChange();
}

}  // namespace orv
