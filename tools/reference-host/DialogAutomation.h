// Watches for the windows that a plug-in opens during a call (its parameter
// dialog, message boxes) and answers them: a dialog script runs on the parameter
// dialog through real window messages and the real cursor; message boxes are read
// into the trace and closed when nobody is there to do it; a dialog nobody answers
// is cancelled after a timeout. Runs from a timer on the host's thread, so it acts
// between the messages of the plug-in's own modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DialogScript.h"

class DialogAutomation {
public:
  DialogAutomation(HWND hostWindow, std::vector<DialogStep> steps, bool attended, int timeoutMs);
  ~DialogAutomation();
  void Begin();
  void End();
  // The script for every dialog after the first (empty: the first one's again).
  void SetLaterSteps(std::vector<DialogStep> steps) { laterSteps_ = std::move(steps); }
  // Whether a dialog of the calling thread exists now, shown yet or not.
  bool DialogOfThisThread() const;
  int DialogsSeen() const { return dialogsSeen_; }
  int StepsFailed() const { return stepsFailed_; }
  bool Cancelled() const { return cancelledByTimeout_; }

private:
  enum class Kind { Parameter, Message, Other };
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);
  void Tick();
  HWND FindWindowOfThread(bool messageBoxes) const;
  void Appeared(HWND window);
  void AnswerMessageBox(HWND box);
  void RunScript();
  void StartStep(const DialogStep& step);
  void Fail(const std::string& why);
  void CancelUnanswered(DWORD waited);
  void TraceState();

  // Building blocks: each pushes actions that run one per timer tick.
  void AddClick(int control, const std::string& what);
  void AddKey(UINT vk, char character = 0);
  void AddPreviewMouse(UINT message, WPARAM keys, int dx, int dy);

  HWND host_;
  std::vector<DialogStep> steps_;
  std::vector<DialogStep> laterSteps_;
  bool attended_;
  int timeoutMs_;
  UINT_PTR timer_ = 0;
  bool busy_ = false;
  HWND dialog_ = nullptr;
  Kind kind_ = Kind::Other;
  DWORD since_ = 0;
  DWORD begun_ = 0;
  std::size_t stepIndex_ = 0;
  std::vector<std::function<bool()>> actions_;
  std::size_t actionIndex_ = 0;
  bool stepRunning_ = false;
  bool scriptDone_ = false;
  POINT dragPoint_{};
  int dialogsSeen_ = 0;
  int stepsFailed_ = 0;
  bool cancelledByTimeout_ = false;
};

// Writes the window's current screen image to a PNG.
bool CaptureWindow(HWND window, const std::string& path, std::string& error);
