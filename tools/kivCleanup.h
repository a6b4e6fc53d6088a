#pragma once
// What a run leaves behind if a signal stops it: the picture files of a page not yet in place
// and the temporary file its output is written to. SIGINT, SIGTERM and SIGHUP remove them,
// then end the command as the signal would have.

#include <signal.h>

#include <string>

namespace kivCleanup {
// Installs the handlers and has the library tell of the files it creates and deletes.
void Install();
// Path is to go if the run is stopped; Forget takes it back (the file is gone or in place).
void Remember(const std::string& Path);
void Forget(const std::string& Path);
// The files made so far belong to output that is now in place: none of them is removed.
void KeepAll();

// Holds the signals off while something that must not be cut in half is done (an output put
// in place together with the pictures it refers to).
class TSignalsHeld {
public:
  TSignalsHeld();
  ~TSignalsHeld();
  TSignalsHeld(const TSignalsHeld&) = delete;
  TSignalsHeld& operator=(const TSignalsHeld&) = delete;

private:
  sigset_t Before;
};
} // namespace kivCleanup
