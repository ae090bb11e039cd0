#pragma once
// CPorgressDlg: the window that shows the on-board save going on. It runs modally over the
// main window, is found on the window bus by its title (the agent reports to it), creeps its
// bar between the agent's reports at a pace set by the profile's size and gives up after 400
// ticks.
#include <QDialog>
#include <QImage>
#include <memory>
#include <string>

#include "link/bus_window.h"
#include "panel/onboard_check.h"
#include "skin/skin_window.h"

namespace orv {

class PanelQuestions;
class SkinTimer;

class CPorgressDlg : public QDialog, public BusWindow {
 public:
  // Throws xException ("Can't open the picture for software") when its pictures are missing.
  CPorgressDlg(const std::string& installFolder, double paceSeconds, bool agentPresent, PanelQuestions& services,
               QWidget* parent = nullptr);
  ~CPorgressDlg() override;

  LResult HandleMessage(uint32_t code, WParam w, LParam l) override;
  LResult OnProgress(WParam w, LParam l);
  // One tick of the timer.
  void Advance();

  const ProgressModel& model() const { return model_; }
  int periodMs() const { return periodMs_; }
  // The window's picture as its next paint shows it.
  QImage Compose() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void reject() override {}  // not from the keyboard

 private:
  static const MessageEntry<CPorgressDlg> kMessages[];
  PanelQuestions& services_;
  SkinWindow skin_;
  QImage title_;
  ProgressModel model_;
  int periodMs_;
  std::unique_ptr<SkinTimer> timer_;
  bool closing_ = false;
};

}  // namespace orv
