#ifndef GSADMIN_PANEL_CHANGE_SIGNAL_H_
#define GSADMIN_PANEL_CHANGE_SIGNAL_H_

#include <atomic>

namespace gsadmin {

// Tells the panel's stream hub that something its streams send has changed
// (a console line, the players) or that the panel stops, through an
// eventfd the hub waits on. notify() never blocks: it costs one atomic
// load while the hub does not listen (no stream is open), and one write to
// the eventfd only for the first change since the hub last looked.
class ChangeSignal {
 public:
  ChangeSignal();
  ~ChangeSignal();
  ChangeSignal(const ChangeSignal&) = delete;
  ChangeSignal& operator=(const ChangeSignal&) = delete;

  // Any thread.
  void notify();
  // Rings for good, listening or not: stopped() is true from now on.
  void stop();
  bool stopped() const { return stopped_; }

  // The hub's side. The descriptor that turns readable when rung; -1 when
  // the system gave none (then nothing ever rings).
  int fd() const { return fd_; }
  // Whether notify() rings at all. Turned on before the hub looks, so that
  // no change in between is missed.
  void listen(bool on) { listening_ = on; }
  // Takes the ring before the hub looks, so that a change after rings
  // again; whether it had rung.
  bool clear();

 private:
  void ring();

  int fd_ = -1;
  std::atomic<bool> listening_{false};
  std::atomic<bool> rung_{false};
  std::atomic<bool> stopped_{false};
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CHANGE_SIGNAL_H_
