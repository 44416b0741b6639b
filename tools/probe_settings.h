#pragma once
// The engine's symbology settings as browserINI.txt sections, both ways: exported from the
// engine into a store as the browser's exit export writes them into a store that lacks them,
// and imported from a store into the engine as the browser's start-up import does, sending only
// the keys a section holds and, of those, only what differs from the engine.

#include <ostream>

#include "browser/reader/symbology_config.h"
#include "browser/settings/ini_store.h"
#include "tools/probe_core.h"

namespace tessel::tools {

// Reads every section of the port's engine kind and writes it into store. Sections whose
// engine read fails are left out.
void exportEngineSettings(reader::SymbologyConfig& config, reader::ReaderType type,
                          settings::IniStore& store);

// Sends every section of the engine kind that store holds; returns the number of sections the
// engine refused.
int importEngineSettings(reader::SymbologyConfig& config, reader::ReaderType type,
                         settings::IniStore& store);

// The probe's --apply and --settings on a detected, set-up engine: applies the file's sections
// first, then prints the engine's sections on out. Returns a ProbeExit.
int runSettings(const ProbeOptions& options, reader::ReaderPort& port, std::ostream& out,
                std::ostream& err);

}  // namespace tessel::tools
