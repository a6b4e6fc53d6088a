#pragma once
// Module start-up and finalisation: the units' initialisations in their fixed order, the
// registries first, and the finalisations in reverse. Nested calls are counted, so only the
// outermost pair does the work.
//
// The registries need nothing but the library itself, so the module's load routine may fill
// them while the Windows loader lock is held. What needs the system's user-interface libraries
// (the stock icons) waits for InitializeSystemResources: the plug-in runs it at its first
// viewer, outside the load routine.

enum class TkivStartUp {
  Full,      // the registries and the system resources: the command, tests, fuzzers
  Registries // the registries only: the plug-in's load routine
};

void InitializeModules(TkivStartUp What = TkivStartUp::Full);
// Once per process, whichever thread asks first; later calls return at once.
void InitializeSystemResources();
void FinalizeModules();
