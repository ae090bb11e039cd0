#pragma once
// The panel's way to the agent over the process link: the window bus, or the pipe when the
// pipe flag is set (the pipe client then runs for as long as this object lives).
#include "link/agent_link.h"
#include "panel/panel_services.h"

namespace orv {

class LinkTransport : public AgentTransport {
 public:
  // `ownWindow` receives what might come back over the pipe.
  LinkTransport(bool pipeFlag, WindowHandle ownWindow) : link_(pipeFlag, ownWindow) {}
  bool UsesPipe() const override { return link_.usesPipe(); }
  bool AgentPresent() override;
  LResult Post(uint32_t code, WParam wParam, LParam lParam) override { return link_.Post(code, wParam, lParam); }
  LResult Send(uint32_t code, WParam wParam, LParam lParam, bus::SendOutcome* outcome = nullptr) override {
    return link_.Send(code, wParam, lParam, bus::kPeerSendTimeoutMs, outcome);
  }
  bool PostToWindow(std::u16string_view title, uint32_t code, WParam wParam, LParam lParam) override;
  AgentLink& link() { return link_; }

 private:
  AgentLink link_;
};

}  // namespace orv
