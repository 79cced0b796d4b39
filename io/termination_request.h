#pragma once

namespace vestrel {

// Asks the main window to end the program through its orderly shutdown (PTT released,
// files closed). Returns at once; the shutdown runs later on the GUI thread.
class TerminationRequest {
 public:
  virtual void RequestTermination() = 0;

 protected:
  ~TerminationRequest() = default;
};

}  // namespace vestrel
