#pragma once

#include <sqlite3.h>

#include <string>

#include "GeneratorOptions.h"

namespace pmsgen {

// The Suite8 demo hotel (demo/suite8/VuvovaZododAVU.xml: schema FIDELIO, a check per invoice),
// written into a database whose tables exist and in an open transaction. Its open business date
// holds, whatever the scale:
// - invoices with room nights, their city tax lines (linked to the night), restaurant and bar
//   postings: one paid in cash, by Visa and MasterCard with a POS check on its dinner, one number
//   in two series (the guest's part and the company's part on its city ledger), two invoices
//   sharing the parts of a manually split Visa payment, an airport transfer, ordinary departures
//   and the house account's invoice made by the ignored supervisor;
// - the company's accounts-receivable settlement of its city-ledger part (ledger 3);
// - deposits: advances of staying guests and of a guest arriving tomorrow, on folio windows that
//   still have a balance (ledger 1).
// With OpenDay::Small only the first invoice, the airport transfer and the arriving guest's
// deposit. Before it, a history of invoices whose payments are all registered (status Y), as big
// as asked.
bool WriteSuite8Hotel(sqlite3* db, const Options& options, Summary& summary, std::string& error);

}  // namespace pmsgen
