#include "pos/CMicrosCheck.h"

// The POS check composition arrives with the POS work; until then no POS check composes and the
// postings stay as the PMS gave them.
bool CMicrosCheck::PrepareCheck() { return false; }

std::vector<std::string> CMicrosCheck::DumpText(const std::string& title) { return BuildText(2, title); }
