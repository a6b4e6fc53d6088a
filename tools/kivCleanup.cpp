#include "kivCleanup.h"

#include <signal.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "framework/kivInfo.h"

namespace kivCleanup {
namespace {
constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};

// Changed only while the signals are held, so the handler never sees it half changed.
std::vector<std::string>& Files() {
  static std::vector<std::string> Made;
  return Made;
}

sigset_t SignalSet() {
  sigset_t Set;
  sigemptyset(&Set);
  for (const int Signal : Signals)
    sigaddset(&Set, Signal);
  return Set;
}

// Only async-signal-safe calls: unlink, then the signal's own default action.
void OnSignal(int Signal) {
  for (const std::string& Path : Files())
    ::unlink(Path.c_str());
  // Delivered at once: held until the handler returned, the run would go on meanwhile.
  ::signal(Signal, SIG_DFL);
  sigset_t Own;
  sigemptyset(&Own);
  sigaddset(&Own, Signal);
  ::sigprocmask(SIG_UNBLOCK, &Own, nullptr);
  ::raise(Signal);
}

// A file's creation and its being remembered are one step for the handler.
std::optional<TSignalsHeld> Creating;

void OnTempFile(kivInfo::TkivTempFileEvent Event, const std::string& Path) {
  switch (Event) {
  case kivInfo::TkivTempFileEvent::Creating:
    Creating.emplace();
    break;
  case kivInfo::TkivTempFileEvent::Created:
    Remember(Path);
    Creating.reset();
    break;
  case kivInfo::TkivTempFileEvent::NotCreated:
    Creating.reset();
    break;
  case kivInfo::TkivTempFileEvent::Deleted:
    Forget(Path);
    break;
  }
}
} // namespace

// What was held before is held again after, so that holds may nest.
TSignalsHeld::TSignalsHeld() {
  const sigset_t Set = SignalSet();
  ::sigprocmask(SIG_BLOCK, &Set, &Before);
}

TSignalsHeld::~TSignalsHeld() {
  ::sigprocmask(SIG_SETMASK, &Before, nullptr);
}

void Install() {
  Files().reserve(512);
  struct sigaction Action = {};
  Action.sa_handler = OnSignal;
  Action.sa_mask = SignalSet();
  for (const int Signal : Signals) {
    // A signal the caller ignores (nohup) stays ignored.
    struct sigaction Old;
    if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler == SIG_IGN) continue;
    ::sigaction(Signal, &Action, nullptr);
  }
  kivInfo::SetTempFileWatcher(OnTempFile);
}

void Remember(const std::string& Path) {
  const TSignalsHeld Held;
  Files().push_back(Path);
}

void Forget(const std::string& Path) {
  const TSignalsHeld Held;
  std::vector<std::string>& Made = Files();
  // Files go mostly in the reverse order they came.
  for (auto It = Made.rbegin(); It != Made.rend(); ++It)
    if (*It == Path) {
      Made.erase(std::next(It).base());
      return;
    }
}

void KeepAll() {
  const TSignalsHeld Held;
  Files().clear();
}
} // namespace kivCleanup
