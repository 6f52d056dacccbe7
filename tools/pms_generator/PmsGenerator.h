#pragma once

#include <string>

#include "GeneratorOptions.h"

// The PMS database of the demo hotel (resort DEMO) on the embedded SQLite stand-in, as the demo
// configuration demo/VuvovaZododAVU.xml reads it: one file that holds the service's own tables
// and the Opera tables (the configured schema OPERA lives in the same file).
//
// The open business date holds a fixed set of bills and payments (the same whatever the scale,
// so that tests and the demo can count them); before it lies a history of business dates whose
// payments are all fiscalised, as big as asked for. Everything is drawn from a fixed seed: the
// same options give the same database.
namespace pmsgen {

// Writes the database; false with the reason when it cannot.
bool Generate(const Options& options, Summary& summary, std::string& error);

}  // namespace pmsgen
